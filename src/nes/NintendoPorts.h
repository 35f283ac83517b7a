#pragma once

#include <array>
#include <cstdint>

#include "nes/ExtDevice.h"
#include "nes/Ports.h"

namespace Halvo::Nes {

// The standard NES ports: ports 0 and 2 answer on $4016, ports 1 and 3 on $4017, port 4 (the
// expansion port) on both. A falling strobe restarts the serial reads of both registers.
class NintendoPorts : public Ports {
public:
    // `plainConsole`: the console as it leaves the box, with nothing between the ports and the pads: each
    // register reads its first device's line 0 however often it is read, with no second device's reads
    // and no signature after them (those come from a four-player adapter).
    explicit NintendoPorts(bool plainConsole = false) : plain(plainConsole) {}
    static constexpr std::uint32_t PortCount = 5;

    void Reset(bool hard) override;
    bool ConnectDevice(std::uint32_t port, const Ref::Ptr<ExtDevice>& device) override;
    Ref::Ptr<ExtDevice> DisconnectDevice(std::uint32_t port) override;
    std::uint8_t Read(std::uint32_t address) override;
    void Write(std::uint32_t address, std::uint8_t value) override;
    void State(StateIo& io) override;

    std::array<Ref::Ptr<ExtDevice>, PortCount> devices;
    std::uint32_t readCount4016 = 0;
    std::uint32_t readCount4017 = 0;
    std::uint8_t strobe = 0;
    const bool plain;
};

} // namespace Halvo::Nes
