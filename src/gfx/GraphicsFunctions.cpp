#include "gfx/GraphicsFunctions.h"

#include "gfx/Driver.h"

namespace Halvo::Gfx {

bool EnumDrivers::Execute(std::istream&, std::ostream& out) {
    for (std::uint32_t i = 0; i < host->GetDriverCount(); ++i) {
        out << host->GetDriver(i)->name << '\n';
    }
    out << std::endl;
    return true;
}

bool EnumAdapters::Execute(std::istream& arguments, std::ostream& out) {
    std::uint32_t driverIndex = 0;
    if (!(arguments >> driverIndex)) {
        return false;
    }
    const Ref::Ptr<Driver> driver = host->GetDriver(driverIndex);
    if (!driver) {
        out << "Invalid graphics driver index." << std::endl;
        return true;
    }
    AdapterInfo info;
    for (std::uint32_t i = 0; i < driver->GetAdapterCount(); ++i) {
        if (driver->GetAdapterInfo(i, info)) {
            out << info.description << '\n';
        }
    }
    out << std::endl;
    return true;
}

bool EnumModes::Execute(std::istream& arguments, std::ostream& out) {
    std::uint32_t driverIndex = 0;
    std::uint32_t adapter = 0;
    if (!(arguments >> driverIndex >> adapter)) {
        return false;
    }
    const Ref::Ptr<Driver> driver = host->GetDriver(driverIndex);
    if (!driver) {
        out << "Invalid graphics driver index." << std::endl;
        return true;
    }
    if (adapter >= driver->GetAdapterCount()) {
        out << "Invalid display adapter index." << std::endl;
    }
    DisplayMode mode;
    for (std::uint32_t i = 0; i < driver->GetModeCount(adapter); ++i) {
        if (driver->GetMode(adapter, i, mode)) {
            out << mode.width << 'x' << mode.height << 'x' << GetBitsPerPixel(mode.format) << " ("
                << GetFormatName(mode.format) << ")\n";
        }
    }
    out << std::endl;
    return true;
}

bool EnumFormats::Execute(std::istream&, std::ostream& out) {
    for (std::uint32_t format = 0; format < PixelFormatCount; ++format) {
        out << GetFormatName(static_cast<PixelFormat>(format)) << '\n';
    }
    out << std::endl;
    return true;
}

bool ApplyState::Execute(std::istream&, std::ostream& out) {
    if (!host->GraphicsApplyState()) {
        out << "No graphics state set, terminating..." << std::endl;
        host->Quit(0);
    }
    return true;
}

} // namespace Halvo::Gfx
