#pragma once

#include <vector>

#include "gfx/ConsoleRenderer.h"
#include "gfx/Driver.h"
#include "gfx/Font.h"
#include "gfx/NesCanvas.h"

namespace Halvo::TestSupport {

// A graphics driver with adapters and modes set by the test. It sets configurations without a device
// and makes no drawing objects unless the test gives it factories.
class FakeDriver : public Gfx::Driver {
public:
    struct Adapter {
        Gfx::AdapterInfo info;
        std::vector<Gfx::DisplayMode> modes;
    };

    explicit FakeDriver(std::string name = "Fake") : Driver(std::move(name)) {}

    std::uint32_t GetAdapterCount() override { return static_cast<std::uint32_t>(adapters.size()); }
    bool GetAdapterInfo(std::uint32_t adapter, Gfx::AdapterInfo& info) override {
        if (adapter >= adapters.size()) {
            return false;
        }
        info = adapters[adapter].info;
        return true;
    }
    std::uint32_t GetModeCount(std::uint32_t adapter) override {
        return adapter < adapters.size() ? static_cast<std::uint32_t>(adapters[adapter].modes.size()) : 0;
    }
    bool GetMode(std::uint32_t adapter, std::uint32_t mode, Gfx::DisplayMode& displayMode) override {
        if (adapter >= adapters.size() || mode >= adapters[adapter].modes.size()) {
            return false;
        }
        displayMode = adapters[adapter].modes[mode];
        return true;
    }
    std::uint32_t GetFirstFeatureCount(std::uint32_t, std::uint32_t) override { return 1; }
    bool GetFirstFeatureName(std::uint32_t, std::uint32_t, std::uint32_t entry, std::string& name) override {
        name = "None";
        return entry == 0;
    }
    std::uint32_t GetSecondFeatureCount(std::uint32_t, std::uint32_t) override { return 1; }
    bool GetSecondFeatureName(std::uint32_t, std::uint32_t, std::uint32_t entry, std::string& name) override {
        name = "None";
        return entry == 0;
    }

    bool Initiate(App::Window* newWindow) override {
        window = newWindow;
        return initiateSucceeds;
    }
    void Terminate() override {
        window = nullptr;
        configured = false;
    }
    bool GetAdapterConfig(std::uint32_t& adapter, Gfx::DisplayConfig& config) override {
        if (!configured) {
            return false;
        }
        adapter = currentAdapter;
        config = currentConfig;
        return true;
    }
    bool SetAdapterConfig(std::uint32_t adapter, const Gfx::DisplayConfig& config) override {
        setCalls.push_back(config);
        if (adapter >= adapters.size() || !setSucceeds) {
            return false;
        }
        currentAdapter = adapter;
        currentConfig = config;
        configured = true;
        return true;
    }
    bool ResetAdapterConfig() override { return configured; }
    bool BeginScene() override { return true; }
    void EndScene() override {}
    void Clear(float, float, float, float) override {}
    void Present() override {}
    bool CaptureFrame(std::vector<std::uint8_t>& rgb, std::uint32_t& width, std::uint32_t& height) override {
        width = currentConfig.width;
        height = currentConfig.height;
        rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
        return configured;
    }
    Ref::Ptr<Gfx::NesCanvas> CreateNesCanvas() override { return makeCanvas ? makeCanvas() : nullptr; }
    Ref::Ptr<Gfx::Font> CreateFont(const std::string&, std::uint32_t, std::uint32_t) override {
        return makeFont ? makeFont() : nullptr;
    }
    Ref::Ptr<Gfx::ConsoleRenderer> CreateConsoleRenderer() override {
        return makeConsoleRenderer ? makeConsoleRenderer() : nullptr;
    }

    std::vector<Adapter> adapters;
    App::Window* window = nullptr;
    bool initiateSucceeds = true;
    bool setSucceeds = true;
    bool configured = false;
    std::uint32_t currentAdapter = 0;
    Gfx::DisplayConfig currentConfig;
    std::vector<Gfx::DisplayConfig> setCalls;
    Ref::Ptr<Gfx::NesCanvas> (*makeCanvas)() = nullptr;
    Ref::Ptr<Gfx::Font> (*makeFont)() = nullptr;
    Ref::Ptr<Gfx::ConsoleRenderer> (*makeConsoleRenderer)() = nullptr;
};

} // namespace Halvo::TestSupport
