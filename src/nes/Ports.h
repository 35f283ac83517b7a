#pragma once

#include <cstdint>

#include "ref/Object.h"

namespace Halvo::Nes {

class ExtDevice;
class Process;
class StateIo;

// The controller ports the CPU reads at $4016 and $4017, with the devices plugged into them.
class Ports : public Ref::Object {
public:
    // The standard ports for the process's cartridge; null for any other kind of port hardware.
    static Ref::Ptr<Ports> Create(Process* process);

    virtual void Reset(bool hard) = 0;
    virtual bool ConnectDevice(std::uint32_t port, const Ref::Ptr<ExtDevice>& device) = 0;
    // Unplugs and returns the device of a port; null when there is none.
    virtual Ref::Ptr<ExtDevice> DisconnectDevice(std::uint32_t port) = 0;
    virtual std::uint8_t Read(std::uint32_t address) = 0;
    virtual void Write(std::uint32_t address, std::uint8_t value) = 0;
    // Saves or loads the ports' own state and that of each device plugged in.
    virtual void State(StateIo& io) = 0;
};

} // namespace Halvo::Nes
