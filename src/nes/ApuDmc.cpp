#include "nes/ApuDmc.h"

#include "nes/Process.h"

namespace Halvo::Nes {

const std::uint16_t DmcChannel::NtscPeriods[16] = {428, 380, 340, 320, 286, 254, 226, 214,
                                                   190, 160, 142, 128, 106, 84,  72,  54};
const std::uint16_t DmcChannel::PalPeriods[16] = {398, 354, 316, 298, 276, 236, 210, 198,
                                                  176, 148, 132, 118, 98,  78,  66,  50};

void DmcChannel::Write(std::uint32_t reg, std::uint8_t value) {
    switch (reg & 3) {
    case 0:
        irqEnabled = (value & 0x80) != 0;
        loop = (value & 0x40) != 0;
        rateIndex = value & 15;
        if (!irqEnabled) {
            irqFlag = false;
        }
        break;
    case 1:
        level = value & 0x7F;
        break;
    case 2:
        sampleAddress = static_cast<std::uint16_t>(0xC000 | value << 6);
        break;
    case 3:
        sampleLength = static_cast<std::uint16_t>(value * 16 + 1);
        break;
    }
}

void DmcChannel::SetEnabled(bool on) {
    irqFlag = false;
    if (!on) {
        bytesRemaining = 0;
    } else if (bytesRemaining == 0) {
        address = sampleAddress;
        bytesRemaining = sampleLength;
        if (!bufferFull) {
            Fetch();
            loadFetched = true;
        }
    }
}

void DmcChannel::Reset() {
    irqFlag = false;
    bytesRemaining = 0;
    // The level keeps its low bit across a reset; the rest of the unit starts over.
    level &= 1;
    bufferFull = false;
    bitsRemaining = 8;
    silence = true;
}

void DmcChannel::Fetch() {
    buffer = process->CpuRead(address);
    bufferFull = true;
    stall += FetchStall;
    address = address == 0xFFFF ? 0x8000 : static_cast<std::uint16_t>(address + 1);
    if (--bytesRemaining == 0) {
        if (loop) {
            address = sampleAddress;
            bytesRemaining = sampleLength;
        } else if (irqEnabled) {
            irqFlag = true;
        }
    }
}

bool DmcChannel::Step() {
    const std::uint8_t before = level;
    if (!silence) {
        if (shift & 1) {
            if (level <= 125) {
                level += 2;
            }
        } else if (level >= 2) {
            level -= 2;
        }
    }
    shift >>= 1;
    if (--bitsRemaining == 0) {
        bitsRemaining = 8;
        silence = !bufferFull;
        if (bufferFull) {
            shift = buffer;
            bufferFull = false;
            if (bytesRemaining > 0) {
                Fetch();
            }
        }
    }
    return level != before;
}

std::uint32_t DmcChannel::StepsToEnd() const {
    if (bytesRemaining == 0 || loop) {
        return 0;
    }
    // The buffer is full while bytes remain (it is refilled as soon as it empties): the next fetch
    // comes when the output unit takes it, after `bitsRemaining` more clocks, then one every 8.
    return bitsRemaining + 8u * (bytesRemaining - 1u);
}

} // namespace Halvo::Nes
