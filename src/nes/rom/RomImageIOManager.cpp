#include "nes/rom/RomImageIOManager.h"

#include <algorithm>
#include <sstream>
#include <system_error>
#include <typeinfo>
#include <vector>

#include "console/RegularFile.h"
#include "console/System.h"
#include "nes/rom/LoadReport.h"

namespace Halvo::Nes {

namespace {

const char* const FileOperation = "Halvo::Nes::RomImageIOManager::LoadImageFile";
const char* const LargerThanAnyCartridge = "File too large for a cartridge (over 64 MiB)";

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
    // Why the file cannot be read, on the line before the caller's own complaint.
    const auto refuse = [&](const std::string& reason) {
        Console::ReportError(FileOperation, __LINE__) << reason << ": " << fileName << std::endl;
        return nullptr;
    };
    std::string contents;
    std::string reason;
    switch (Console::ReadRegularFile(fileName, RomImage::MaxFileSize, contents, reason)) {
    case Console::FileRefusal::None:
        break;
    case Console::FileRefusal::Directory:
        return refuse(std::make_error_code(std::errc::is_a_directory).message());
    case Console::FileRefusal::NotAFile:
        return refuse("Not a regular file (a FIFO, device or socket)");
    case Console::FileRefusal::TooLarge:
        return refuse(LargerThanAnyCartridge);
    case Console::FileRefusal::Missing:
        return refuse(std::make_error_code(std::errc::no_such_file_or_directory).message());
    case Console::FileRefusal::Failed:
        return refuse(reason);
    case Console::FileRefusal::Unreadable:
        return refuse(std::make_error_code(std::errc::io_error).message());
    }
    std::istringstream file(contents, std::ios::in | std::ios::binary);
    const std::string extension = LowerCase(format.empty() ? ExtensionOf(fileName) : format);
    std::unique_ptr<RomImage> image = LoadImageStream(file, extension);
    if (image && image->name.empty()) {
        image->name = BaseNameOf(fileName);
    }
    return image;
}

std::unique_ptr<RomImage> RomImageIOManager::LoadImageStream(std::istream& in, const std::string& extension) {
    const std::string lowerExtension = LowerCase(extension);
    const std::streampos start = in.tellg();

    // What each attempt said, kept until the outcome shows which words explain it.
    struct Attempt {
        bool named; // the format the extension names
        std::vector<LoadReport> reports;
    };
    std::vector<Attempt> attempts;
    LoadReportCollector collector;

    // Every attempt starts where the first did. The state flags are never cleared: a stream an attempt
    // left failed ends the search, one it left at its end fails the next attempt's first read.
    const auto attempt = [&](const RomImageIOStrategy& strategy, bool named) -> std::unique_ptr<RomImage> {
        if (!attempts.empty() && in.good()) {
            in.seekg(start);
        }
        if (in.fail()) {
            return nullptr;
        }
        auto image = strategy.LoadImage(in, strict);
        attempts.push_back({named, collector.Take()});
        return image;
    };

    std::unique_ptr<RomImage> image;
    if (!lowerExtension.empty()) {
        for (const auto& strategy : strategies) {
            if (strategy->CheckExtension(lowerExtension)) {
                image = attempt(*strategy, true);
                break;
            }
        }
    }
    for (auto strategy = strategies.begin(); !image && strategy != strategies.end() && !in.fail();
         ++strategy) {
        if (!(*strategy)->CheckExtension(lowerExtension)) {
            image = attempt(**strategy, false);
        }
    }

    // A success shows only the notes of the format that read the file. A failure is explained by the
    // format whose signature the file carries, else by the one its extension names, else by the first.
    const Attempt* explaining = nullptr;
    if (image) {
        explaining = &attempts.back();
    } else {
        const auto found = [&](auto&& fits) -> const Attempt* {
            const auto at = std::find_if(attempts.begin(), attempts.end(), fits);
            return at == attempts.end() ? nullptr : &*at;
        };
        explaining = found([](const Attempt& tried) {
            return std::any_of(tried.reports.begin(), tried.reports.end(), [](const LoadReport& report) {
                return report.kind == LoadReport::Kind::Error;
            });
        });
        if (!explaining) {
            explaining = found([](const Attempt& tried) { return tried.named; });
        }
        if (!explaining && !attempts.empty()) {
            explaining = &attempts.front();
        }
    }
    if (explaining) {
        for (const LoadReport& report : explaining->reports) {
            report.Show();
        }
    }
    return image;
}

} // namespace Halvo::Nes
