#include "nes/mmc/SerialEeprom.h"

namespace Halvo::Nes {

void SerialEeprom::Attach(Chip kind, std::uint8_t* storage) {
    chip = kind;
    data = storage;
}

void SerialEeprom::Reset() {
    mode = Mode::Idle;
    phase = Phase::Device;
    bit = shift = address = 0;
    scl = false;
    sda = out = true;
    sending = false;
}

void SerialEeprom::Lines(bool newScl, bool newSda) {
    const bool wasScl = scl;
    const bool wasSda = sda;
    scl = newScl;
    sda = newSda;
    if (wasScl && newScl && wasSda != newSda) {
        if (!newSda) { // start, or a repeated start
            mode = Mode::Receive;
            // The X24C01 has no device byte: its first byte holds the address.
            phase = chip == Chip::X24C01 ? Phase::Word : Phase::Device;
            bit = 0;
        } else { // stop
            mode = Mode::Idle;
        }
        out = true;
    } else if (!wasScl && newScl) {
        Rise();
    } else if (wasScl && !newScl) {
        Fall();
    }
}

bool SerialEeprom::BitOut() const {
    return chip == Chip::X24C01 ? (shift >> bit) & 1 : (shift >> (7 - bit)) & 1;
}

void SerialEeprom::Rise() {
    if (mode == Mode::Receive && bit < 8) {
        shift = chip == Chip::X24C01 ? static_cast<std::uint8_t>(shift >> 1 | (sda ? 0x80 : 0))
                                     : static_cast<std::uint8_t>(shift << 1 | (sda ? 1 : 0));
        if (++bit == 8) {
            Received();
        }
    } else if (mode == Mode::Send && bit < 8) {
        ++bit;
    } else if (mode == Mode::Send && bit == 8) {
        // The reader pulls the line low to ask for the next byte, and leaves it high to end.
        sending = !sda;
        bit = 9;
    } else if (mode == Mode::Receive && bit == 8) {
        bit = 9;
    }
}

void SerialEeprom::Fall() {
    if (mode == Mode::Receive) {
        if (bit == 8) {
            out = false; // acknowledge
        } else if (bit == 9) {
            out = true;
            bit = 0;
            if (sending) {
                mode = Mode::Send;
                shift = data[address];
                out = BitOut();
            }
        }
    } else if (mode == Mode::Send) {
        if (bit < 8) {
            out = BitOut();
        } else if (bit == 8) {
            out = true; // released for the reader's acknowledge
        } else if (sending) {
            address = static_cast<std::uint8_t>((address + 1) % Size());
            shift = data[address];
            bit = 0;
            out = BitOut();
        } else {
            mode = Mode::Idle;
            out = true;
        }
    }
}

void SerialEeprom::Received() {
    sending = false;
    switch (phase) {
    case Phase::Device:
        if ((shift & 0xF0) != 0xA0) {
            mode = Mode::Idle; // another device's byte: no acknowledge
            bit = 0;
        } else if (shift & 1) {
            sending = true;
        } else {
            phase = Phase::Word;
        }
        break;
    case Phase::Word:
        if (chip == Chip::X24C01) {
            address = shift & 0x7F;
            sending = (shift & 0x80) != 0;
        } else {
            address = shift;
        }
        phase = Phase::Data;
        break;
    case Phase::Data: {
        data[address] = shift;
        // Writes stay inside the page they began in: 4 bytes on the X24C01, 8 on the 24C02.
        const std::uint8_t page = chip == Chip::X24C01 ? 3 : 7;
        address = static_cast<std::uint8_t>((address & ~page) | ((address + 1) & page));
        break;
    }
    }
}

} // namespace Halvo::Nes
