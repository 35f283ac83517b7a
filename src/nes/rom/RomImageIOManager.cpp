#include "nes/rom/RomImageIOManager.h"

#include <fstream>
#include <typeinfo>

namespace Halvo::Nes {

namespace {

// ASCII only: extensions are compared with fixed lower-case names, whatever the locale.
std::string LowerCase(std::string text) {
    for (char& character : text) {
        if (character >= 'A' && character <= 'Z') {
            character = static_cast<char>(character - 'A' + 'a');
        }
    }
    return text;
}

std::string ExtensionOf(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
}

// The title of an untitled image: the file name without folders and without its last extension.
// Both separators count, so paths written for either platform give the same title.
std::string BaseNameOf(const std::string& fileName) {
    const auto separator = fileName.find_last_of("/\\");
    const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
    const auto dot = fileName.rfind('.');
    const std::size_t end = (dot == std::string::npos || dot < start) ? fileName.size() : dot;
    return fileName.substr(start, end - start);
}

} // namespace

RomImageIOManager* RomImageIOManager::Instance() {
    if (!instance) {
        instance = Ref::New<RomImageIOManager>();
    }
    return instance;
}

RomImageIOManager::~RomImageIOManager() {
    strategies.clear();
    if (instance == this) {
        instance = nullptr;
    }
}

bool RomImageIOManager::RegisterStrategy(const RomImageIOStrategy& strategy) {
    for (const auto& registered : strategies) {
        const RomImageIOStrategy& kept = *registered;
        if (typeid(kept) == typeid(strategy)) {
            return false;
        }
    }
    strategies.push_back(strategy.Clone());
    return true;
}

std::unique_ptr<RomImage> RomImageIOManager::LoadImageFile(const std::string& fileName,
                                                           const std::string& format) {
    const std::string extension = LowerCase(format.empty() ? ExtensionOf(fileName) : format);
    std::ifstream file(fileName, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        return nullptr;
    }
    std::unique_ptr<RomImage> image = LoadImageStream(file, extension);
    file.close();
    if (image && image->name.empty()) {
        image->name = BaseNameOf(fileName);
    }
    return image;
}

std::unique_ptr<RomImage> RomImageIOManager::LoadImageStream(std::istream& in, const std::string& extension) {
    const std::string lowerExtension = LowerCase(extension);
    const std::streampos start = in.tellg();
    bool tried = false;

    // Every attempt starts where the first did. The state flags are never cleared: a stream an attempt
    // left failed ends the search, one it left at its end fails the next attempt's first read.
    auto attempt = [&](const RomImageIOStrategy& strategy) -> std::unique_ptr<RomImage> {
        if (tried && in.good()) {
            in.seekg(start);
        }
        tried = true;
        if (in.fail()) {
            return nullptr;
        }
        return strategy.LoadImage(in, strict);
    };

    if (!lowerExtension.empty()) {
        for (const auto& strategy : strategies) {
            if (strategy->CheckExtension(lowerExtension)) {
                if (auto image = attempt(*strategy)) {
                    return image;
                }
                break;
            }
        }
    }
    for (const auto& strategy : strategies) {
        if (in.fail()) {
            break;
        }
        if (!strategy->CheckExtension(lowerExtension)) {
            if (auto image = attempt(*strategy)) {
                return image;
            }
        }
    }
    return nullptr;
}

} // namespace Halvo::Nes
