#pragma once

#include <cstdint>

#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The two-wire serial EEPROMs of Bandai's boards, driven by the board's clock (SCL) and data (SDA)
// lines. A start (SDA falling while SCL is high) begins a transfer and a stop (SDA rising while SCL is
// high) ends it; bits are taken on the rises of SCL and given out after its falls, and each byte is
// followed by an acknowledge bit that the receiver pulls low. The 24C02 (256 bytes) is addressed
// with a device byte ($A0 for writing, $A1 for reading) and then a word address, most significant
// bit first; the X24C01 (128 bytes) takes its 7-bit address and the read bit in its first byte, and
// sends every byte least significant bit first.
class SerialEeprom {
public:
    enum class Chip : std::uint8_t { X24C01, C24C02 };

    // The chip and the `Size` bytes it keeps, which live with the board's battery RAM.
    void Attach(Chip kind, std::uint8_t* storage);
    std::uint32_t Size() const { return chip == Chip::X24C01 ? 128 : 256; }

    // Power-up: no transfer, the data line released.
    void Reset();
    // The levels the board drives onto the two lines.
    void Lines(bool scl, bool sda);
    // What the chip drives onto SDA (released lines read high).
    bool Output() const { return out; }

    void State(StateIo& io) {
        io.Bounded(mode, Mode::Send).Bounded(phase, Phase::Data).Bounded(bit, std::uint8_t{9});
        io(shift, address, scl, sda, out, sending);
        address = static_cast<std::uint8_t>(address % Size());
    }

private:
    enum class Mode : std::uint8_t { Idle, Receive, Send };
    enum class Phase : std::uint8_t { Device, Word, Data };

    void Rise();
    void Fall();
    void Received();
    bool BitOut() const;

    Chip chip = Chip::C24C02;
    std::uint8_t* data = nullptr;
    Mode mode = Mode::Idle;
    Phase phase = Phase::Device;
    std::uint8_t bit = 0; // bits of the byte clocked so far; 8 and 9 are the acknowledge clock
    std::uint8_t shift = 0;
    std::uint8_t address = 0;
    bool scl = false;
    bool sda = true;
    bool out = true;
    bool sending = false; // the byte just received asked for a read
};

} // namespace Halvo::Nes
