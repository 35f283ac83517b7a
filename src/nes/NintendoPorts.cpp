#include "nes/NintendoPorts.h"

#include "console/ReportedCreate.h"
#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

Ref::Ptr<Ports> Ports::Create(Process* process) {
    if (process->romImage->portsType != 0) {
        return nullptr;
    }
    return Console::CreateOrReport("Halvo::Nes::Ports::Create", __LINE__,
                                   "Could not create Nes::Ports object--",
                                   "Could not create Nes::Ports--unknown exception.", [process] {
                                       // The exact model follows the console itself: standard pads plugged
                                       // straight in; dma_4016_read counts the eight button reads before the
                                       // ones that follow them.
                                       return Ref::Ptr<Ports>(Ref::New<NintendoPorts>(process->IsExact()));
                                   });
}

void NintendoPorts::Reset(bool hard) {
    if (hard) {
        // No device data until the first strobe.
        readCount4016 = 24;
        readCount4017 = 24;
        strobe = 0;
    }
}

bool NintendoPorts::ConnectDevice(std::uint32_t port, const Ref::Ptr<ExtDevice>& device) {
    const char* operation = "Halvo::Nes::NintendoPorts::ConnectDevice";
    if (port >= PortCount) {
        Console::ReportError(operation, __LINE__) << "Invalid port number." << std::endl;
        return false;
    }
    if (!device) {
        Console::ReportError(operation, __LINE__) << "Invalid external device pointer." << std::endl;
        return false;
    }
    if (devices[port]) {
        Console::ReportError(operation, __LINE__)
            << "A device is already connected to port " << port << "." << std::endl;
        return false;
    }
    devices[port] = device;
    return true;
}

Ref::Ptr<ExtDevice> NintendoPorts::DisconnectDevice(std::uint32_t port) {
    if (port >= PortCount) {
        return nullptr;
    }
    return std::exchange(devices[port], nullptr);
}

namespace {

// The levels of the lines in `lines` that the device drives, each in its own bit.
std::uint8_t ReadLines(ExtDevice& device, std::uint32_t port, std::uint32_t lines) {
    lines &= device.drivenLines;
    std::uint8_t value = 0;
    for (std::uint32_t line = 0; lines >> line != 0; ++line) {
        if ((lines >> line) & 1) {
            value |= static_cast<std::uint8_t>(device.Read(port, line) << line);
        }
    }
    return value;
}

// The controller ports carry data lines 0, 3 and 4; line 0 is the serial one.
constexpr std::uint32_t SerialLine = 0x01;
constexpr std::uint32_t ParallelLines = 0x18;

} // namespace

std::uint8_t NintendoPorts::Read(std::uint32_t address) {
    if (address != 0x4016 && address != 0x4017) {
        return 0;
    }
    const std::uint32_t port = address - 0x4016;
    std::uint32_t& count = port == 0 ? readCount4016 : readCount4017;
    ExtDevice* first = devices[port].Get();      // port 0 or 1
    ExtDevice* second = devices[port + 2].Get(); // port 2 or 3
    std::uint8_t value = 0;
    if (plain) {
        if (first) {
            value |= ReadLines(*first, port, SerialLine | ParallelLines);
        }
        if (ExtDevice* expansion = devices[4].Get()) {
            value |= ReadLines(*expansion, port, 0x1F);
        }
        return value;
    }
    if (first) {
        value |= ReadLines(*first, port, count < 8 ? SerialLine | ParallelLines : ParallelLines);
    }
    if (second) {
        value |=
            ReadLines(*second, port, count >= 8 && count < 16 ? SerialLine | ParallelLines : ParallelLines);
    }
    if (count >= 16 && count < 24) {
        // Reads 17-24 tell which ports hold a device.
        const std::uint32_t signature =
            port == 0 ? (first ? 0x01 : 0) | (second ? 0x10 : 0) : (first ? 0x02 : 0) | (second ? 0x20 : 0);
        value |= static_cast<std::uint8_t>((signature >> (count - 16)) & 1);
    }
    if (ExtDevice* expansion = devices[4].Get()) {
        value |= ReadLines(*expansion, port, 0x1F);
    }
    ++count;
    return value;
}

void NintendoPorts::Write(std::uint32_t address, std::uint8_t value) {
    if (address != 0x4016) {
        return;
    }
    for (const auto& device : devices) {
        if (device) {
            device->Write(value & 7);
        }
    }
    if ((strobe & 1) != 0 && (value & 1) == 0) {
        readCount4016 = 0;
        readCount4017 = 0;
    }
    strobe = value;
}

} // namespace Halvo::Nes
