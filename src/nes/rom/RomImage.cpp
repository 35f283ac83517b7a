#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

RomImage::RomImage() {
    SetDumpDate(std::time(nullptr));
}

void RomImage::SetDumpDate(std::time_t moment) {
    std::tm local{};
    if (!localtime_r(&moment, &local)) {
        return;
    }
    dumpDay = static_cast<std::uint8_t>(local.tm_mday);
    dumpMonth = static_cast<std::uint8_t>(local.tm_mon);
    dumpYear = static_cast<std::uint16_t>(local.tm_year + 1900);
}

} // namespace Halvo::Nes
