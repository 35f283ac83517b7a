#include "gfx/GraphicsFunctions.h"

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"
#include "support/FakeDriver.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;
using Gfx::PixelFormat;

class FakeHost : public Gfx::GraphicsHost {
public:
    std::uint32_t GetDriverCount() override { return static_cast<std::uint32_t>(drivers.size()); }
    Ref::Ptr<Gfx::Driver> GetDriver(std::uint32_t index) override {
        return index < drivers.size() ? drivers[index] : nullptr;
    }
    bool GraphicsApplyState() override {
        ++applies;
        return applySucceeds;
    }
    void Quit(std::int32_t code) override { quitCode = code; }

    std::vector<Ref::Ptr<Gfx::Driver>> drivers;
    bool applySucceeds = true;
    int applies = 0;
    std::int32_t quitCode = -1;
};

class GraphicsFunctions : public ::testing::Test {
protected:
    GraphicsFunctions() : driver(Ref::New<TestSupport::FakeDriver>("SDL")) {
        TestSupport::FakeDriver::Adapter adapter;
        adapter.info.description = "Display 0";
        adapter.modes = {{640, 480, PixelFormat::R5G6B5}, {1024, 768, PixelFormat::X8R8G8B8}};
        driver->adapters.push_back(adapter);
        adapter.info.description = "Display 1";
        adapter.modes.clear();
        driver->adapters.push_back(adapter);
        host.drivers.push_back(driver);
        host.drivers.push_back(Ref::Ptr<Gfx::Driver>(Ref::New<TestSupport::FakeDriver>("Other")));

        auto& system = capture.System();
        system.echo = false;
        for (Console::Function* function : std::initializer_list<Console::Function*>{
                 &enumDrivers, &enumAdapters, &enumModes, &enumFormats, &applyState}) {
            system.RegisterFunction(Ref::Ptr<Console::Function>(function));
        }
    }
    ~GraphicsFunctions() override {
        for (const char* name :
             {"g_enumdrivers", "g_enumadapters", "g_enummodes", "g_enumformats", "g_apply"}) {
            capture.System().UnregisterFunction(name);
        }
    }

    Lines Run(const std::string& line) {
        capture.Clear();
        capture.System().Execute(line);
        return capture.Lines();
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<TestSupport::FakeDriver> driver;
    FakeHost host;
    Gfx::EnumDrivers enumDrivers{&host};
    Gfx::EnumAdapters enumAdapters{&host};
    Gfx::EnumModes enumModes{&host};
    Gfx::EnumFormats enumFormats;
    Gfx::ApplyState applyState{&host};
};

TEST_F(GraphicsFunctions, ListDriversAdaptersAndModes) {
    EXPECT_EQ(Run("g_enumdrivers"), (Lines{"SDL", "Other", ""}));
    EXPECT_EQ(Run("g_enumadapters 0"), (Lines{"Display 0", "Display 1", ""}));
    EXPECT_EQ(Run("g_enummodes 0 0"), (Lines{"640x480x16 (R5G6B5)", "1024x768x32 (X8R8G8B8)", ""}));
    EXPECT_EQ(Run("g_enummodes 0 1"), (Lines{""}));
}

TEST_F(GraphicsFunctions, InvalidIndicesAndMissingNumbers) {
    EXPECT_EQ(Run("g_enumadapters"), Lines{}); // false, and the usage is empty
    EXPECT_EQ(Run("g_enumadapters 7"), (Lines{"Invalid graphics driver index."}));
    EXPECT_EQ(Run("g_enummodes 0"), Lines{});
    EXPECT_EQ(Run("g_enummodes x 0"), Lines{});
    EXPECT_EQ(Run("g_enummodes 7 0"), (Lines{"Invalid graphics driver index."}));
    EXPECT_EQ(Run("g_enummodes 0 9"), (Lines{"Invalid display adapter index.", ""}));
}

TEST_F(GraphicsFunctions, ListsTheEighteenFormats) {
    const Lines lines = Run("g_enumformats");
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines.front(), "Unknown");
    EXPECT_EQ(lines[10], "R5G6B5");
    EXPECT_EQ(lines[17], "A16R16G16B16");
    EXPECT_EQ(lines.back(), "");
}

TEST_F(GraphicsFunctions, ApplyQuitsWhenNoStateCanBeSet) {
    EXPECT_EQ(Run("g_apply"), Lines{});
    EXPECT_EQ(host.applies, 1);
    EXPECT_EQ(host.quitCode, -1);
    host.applySucceeds = false;
    EXPECT_EQ(Run("g_apply"), (Lines{"No graphics state set, terminating..."}));
    EXPECT_EQ(host.quitCode, 0);
}

TEST(DisplayModeOrder, ByFormatThenWidthThenHeight) {
    using Gfx::DisplayMode;
    EXPECT_LT((DisplayMode{1024, 768, PixelFormat::R5G6B5}), (DisplayMode{640, 480, PixelFormat::X8R8G8B8}));
    EXPECT_LT((DisplayMode{640, 1024, PixelFormat::R5G6B5}), (DisplayMode{800, 600, PixelFormat::R5G6B5}));
    EXPECT_LT((DisplayMode{800, 480, PixelFormat::R5G6B5}), (DisplayMode{800, 600, PixelFormat::R5G6B5}));
    // Formats compare as signed numbers.
    EXPECT_LT((DisplayMode{640, 480, static_cast<PixelFormat>(0x80000000u)}),
              (DisplayMode{640, 480, PixelFormat::Unknown}));
}

} // namespace
} // namespace Halvo
