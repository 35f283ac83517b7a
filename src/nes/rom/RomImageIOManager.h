#pragma once

#include <istream>
#include <list>
#include <memory>
#include <string>

#include "nes/rom/RomImage.h"
#include "nes/rom/RomImageIOStrategy.h"
#include "ref/Object.h"

namespace Halvo::Nes {

// The registry of ROM image formats. Given a file it tries the format its extension names first, then
// the others, and hands back the first image one of them reads.
class RomImageIOManager : public Ref::Object {
public:
    // The single manager, made on first use. Hold it in a Ref::Ptr while you use it: the last release
    // destroys it together with its strategies.
    static RomImageIOManager* Instance();

    ~RomImageIOManager() override;
    RomImageIOManager(const RomImageIOManager&) = delete;
    RomImageIOManager& operator=(const RomImageIOManager&) = delete;

    // Keeps a clone of the strategy; false (and nothing kept) when one of the same class is registered.
    bool RegisterStrategy(const RomImageIOStrategy& strategy);

    // Loads a file. The format is an extension chosen by the caller; when empty, the file name's
    // extension is used. An image without a title is named after the file. Null, with a report of the
    // reason, when the file cannot be opened, is a folder or is larger than any cartridge, or when no
    // format reads it.
    std::unique_ptr<RomImage> LoadImageFile(const std::string& fileName, const std::string& format);

    // Tries the strategies on an open stream from its current position: the one that accepts the
    // extension first, then every other one in registration order. The strategies' reports are held
    // back: a success shows only the notes of the format that read the stream; a failure shows the
    // reports of the format whose signature the stream carries, else of the one the extension names,
    // else of the first tried.
    std::unique_ptr<RomImage> LoadImageStream(std::istream& in, const std::string& extension);

    std::list<std::unique_ptr<RomImageIOStrategy>> strategies;
    bool strict = true;

private:
    RomImageIOManager() = default;
    template <class T, class... Args>
    friend T* Ref::New(Args&&... args);

    static inline RomImageIOManager* instance = nullptr;
};

} // namespace Halvo::Nes
