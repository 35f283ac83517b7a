#include "app/Bridge.h"

#include <stdexcept>

#include "app/Timer.h"
#include "app/Window.h"
#include "gfx/Driver.h"

namespace Halvo::App {

Bridge* Bridge::Instance() {
    if (!instance) {
        if (!factory) {
            throw std::runtime_error("No platform bridge is available");
        }
        instance = factory();
    }
    return instance;
}

void Bridge::SetFactory(Factory newFactory) {
    factory = newFactory;
}

Bridge::Bridge() = default;

Bridge::~Bridge() {
    drivers.clear();
    if (instance == this) {
        instance = nullptr;
    }
}

void Bridge::ReleaseDrivers() {
    drivers.clear();
}

void Bridge::AddDriver(const Ref::Ptr<Gfx::Driver>& driver) {
    drivers.push_back(driver);
}

Ref::Ptr<Gfx::Driver> Bridge::GetDriver(std::uint32_t index) const {
    if (index >= drivers.size()) {
        return nullptr;
    }
    return drivers[index];
}

std::uint32_t Bridge::GetDriverCount() const {
    return static_cast<std::uint32_t>(drivers.size());
}

} // namespace Halvo::App
