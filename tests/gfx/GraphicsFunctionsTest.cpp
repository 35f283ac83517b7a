#include "gfx/GraphicsFunctions.h"

#include <gtest/gtest.h>

#include "gfx/ConsoleRenderer.h"
#include "gfx/Driver.h"
#include "gfx/Font.h"
#include "gfx/NesCanvas.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using Gfx::DisplayMode;
using Gfx::PixelFormat;
using Lines = std::vector<std::string>;

// A driver with two adapters, the first with two modes. It can list them and nothing else.
struct ListingDriver : Gfx::Driver {
    using Driver::Driver;
    std::uint32_t GetAdapterCount() override { return 2; }
    bool GetAdapterInfo(std::uint32_t adapter, Gfx::AdapterInfo& info) override {
        info.description = "Display " + std::to_string(adapter);
        return adapter < 2;
    }
    std::uint32_t GetModeCount(std::uint32_t adapter) override { return adapter == 0 ? 2 : 0; }
    bool GetMode(std::uint32_t, std::uint32_t mode, DisplayMode& displayMode) override {
        displayMode = mode == 0 ? DisplayMode{640, 480, PixelFormat::R5G6B5}
                                : DisplayMode{1024, 768, PixelFormat::X8R8G8B8};
        return mode < 2;
    }
    std::uint32_t GetFirstFeatureCount(std::uint32_t, std::uint32_t) override { return 0; }
    bool GetFirstFeatureName(std::uint32_t, std::uint32_t, std::uint32_t, std::string&) override {
        return false;
    }
    std::uint32_t GetSecondFeatureCount(std::uint32_t, std::uint32_t) override { return 0; }
    bool GetSecondFeatureName(std::uint32_t, std::uint32_t, std::uint32_t, std::string&) override {
        return false;
    }
    bool Initiate(App::Window*) override { return false; }
    void Terminate() override {}
    bool GetAdapterConfig(std::uint32_t&, Gfx::DisplayConfig&) override { return false; }
    bool SetAdapterConfig(std::uint32_t, const Gfx::DisplayConfig&) override { return false; }
    bool ResetAdapterConfig() override { return false; }
    bool BeginScene() override { return false; }
    void EndScene() override {}
    void Clear(float, float, float, float) override {}
    void Present() override {}
    bool CaptureFrame(std::vector<std::uint8_t>&, std::uint32_t&, std::uint32_t&) override { return false; }
    Ref::Ptr<Gfx::NesCanvas> CreateNesCanvas() override { return nullptr; }
    Ref::Ptr<Gfx::Font> CreateFont(const std::string&, std::uint32_t, std::uint32_t) override {
        return nullptr;
    }
    Ref::Ptr<Gfx::ConsoleRenderer> CreateConsoleRenderer() override { return nullptr; }
};

// The five functions on the console, with the test as their host.
class GraphicsFunctions : public ::testing::Test, public Gfx::GraphicsHost {
protected:
    GraphicsFunctions() {
        const Ref::Ptr<Console::Function> functions[] = {
            Ref::New<Gfx::EnumDrivers>(this), Ref::New<Gfx::EnumAdapters>(this),
            Ref::New<Gfx::EnumModes>(this), Ref::New<Gfx::EnumFormats>(), Ref::New<Gfx::ApplyState>(this)};
        for (const auto& function : functions) {
            capture.System().RegisterFunction(function);
        }
    }

    std::uint32_t GetDriverCount() override { return 2; }
    Ref::Ptr<Gfx::Driver> GetDriver(std::uint32_t index) override {
        return index < 2 ? drivers[index] : nullptr;
    }
    bool GraphicsApplyState() override { return applySucceeds; }
    void Quit(std::int32_t code) override { quitCode = code; }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<Gfx::Driver> drivers[2] = {Ref::New<ListingDriver>("SDL"), Ref::New<ListingDriver>("Other")};
    bool applySucceeds = true;
    std::int32_t quitCode = -1;
};

TEST_F(GraphicsFunctions, ListDriversAdaptersModesAndFormats) {
    EXPECT_EQ(capture.Run("@g_enumdrivers"), (Lines{"SDL", "Other", ""}));
    EXPECT_EQ(capture.Run("@g_enumadapters 0"), (Lines{"Display 0", "Display 1", ""}));
    EXPECT_EQ(capture.Run("@g_enummodes 0 0"), (Lines{"640x480x16 (R5G6B5)", "1024x768x32 (X8R8G8B8)", ""}));
    EXPECT_EQ(capture.Run("@g_enummodes 0 1"), Lines{""});
    // Every format from Unknown to the last, then the empty line.
    const Lines formats = capture.Run("@g_enumformats");
    EXPECT_EQ(formats.size(), 19u);
    EXPECT_EQ(formats.front() + formats[17] + formats.back(), "UnknownA16R16G16B16");
}

TEST_F(GraphicsFunctions, InvalidIndicesAndMissingNumbers) {
    EXPECT_EQ(capture.Run("@g_enumadapters"), Lines{}); // false, and the usage is empty
    EXPECT_EQ(capture.Run("@g_enumadapters 7"), Lines{"Invalid graphics driver index."});
    EXPECT_EQ(capture.Run("@g_enummodes 0"), Lines{});
    EXPECT_EQ(capture.Run("@g_enummodes x 0"), Lines{});
    EXPECT_EQ(capture.Run("@g_enummodes 7 0"), Lines{"Invalid graphics driver index."});
    EXPECT_EQ(capture.Run("@g_enummodes 0 9"), (Lines{"Invalid display adapter index.", ""}));
}

TEST_F(GraphicsFunctions, ApplyQuitsWhenNoStateCanBeSet) {
    EXPECT_EQ(capture.Run("@g_apply"), Lines{});
    EXPECT_EQ(quitCode, -1);
    applySucceeds = false;
    EXPECT_EQ(capture.Run("@g_apply"), Lines{"No graphics state set, terminating..."});
    EXPECT_EQ(quitCode, 0);
}

} // namespace
} // namespace Halvo
