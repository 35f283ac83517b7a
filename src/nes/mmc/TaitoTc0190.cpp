#include "nes/mmc/TaitoTc0190.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

TaitoTc0190::TaitoTc0190(Process* process) : Mmc3(process) {
    tc0690 = Image().boardName.find("TC0690") != std::string::npos;
    // Neither board carries work RAM of its own.
    if (!Image().hasWram) {
        wram.reset();
    }
}

void TaitoTc0190::Reset(bool hard) {
    Mmc3::Reset(hard);
    SetNameTableMirroring(Image().mirroring == MirrorHorizontal ? MirrorHorizontal : MirrorVertical);
}

void TaitoTc0190::WriteRegister(std::uint16_t address, std::uint8_t value) {
    switch (address & 0xE003) {
    case 0x8000:
        MapPrg8k(value & 0x3F, 4);
        if (!tc0690) {
            SetNameTableMirroring((value & 0x40) ? MirrorHorizontal : MirrorVertical);
        }
        break;
    case 0x8001:
        MapPrg8k(value & 0x3F, 5);
        break;
    case 0x8002:
    case 0x8003: {
        // The value numbers 2 KiB banks.
        const std::uint32_t page = (address & 1) * 2;
        MapChr1k(value * 2u, page);
        MapChr1k(value * 2u + 1, page + 1);
        break;
    }
    case 0xA000:
    case 0xA001:
    case 0xA002:
    case 0xA003:
        MapChr1k(value, 4 + (address & 3));
        break;
    default:
        if (!tc0690) {
            break;
        }
        switch (address & 0xE003) {
        case 0xC000:
            Mmc3::WriteRegister(0xC000, static_cast<std::uint8_t>(value ^ 0xFF));
            break;
        case 0xC001:
            Mmc3::WriteRegister(0xC001, value);
            break;
        case 0xC002:
            Mmc3::WriteRegister(0xE001, value);
            break;
        case 0xC003:
            // Disables and acknowledges.
            Mmc3::WriteRegister(0xE000, value);
            LowerIrq();
            break;
        case 0xE000:
            SetNameTableMirroring((value & 0x40) ? MirrorHorizontal : MirrorVertical);
            break;
        default:
            break;
        }
        break;
    }
}

} // namespace Halvo::Nes
