#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "app/sdl/SdlBridge.h"
#include "shell/HalvoShell.h"
#include "support/ConsoleCapture.h"
#include "support/HeadlessSdl.h"

namespace Halvo {
namespace {

using TestSupport::IsReport;

// The emulator shell choosing display states on SDL's headless display, whose one mode is 1024 x 768
// X8R8G8B8. Each test has a bridge and a shell of its own.
class GraphicsState : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::UseHeadlessSdl();
        App::Bridge::SetFactory([]() -> App::Bridge* { return Ref::New<App::SdlBridge>(); });
        try {
            bridge = App::Bridge::Instance();
        } catch (const std::exception& e) {
            GTEST_SKIP() << "SDL cannot start a display here: " << e.what();
        }
        shell = HalvoShell::Instance(bridge.Get());
    }

    void TearDown() override {
        if (shell) {
            shell->Terminate();
        }
        shell = nullptr;
        bridge = nullptr;
        App::Bridge::SetFactory(nullptr);
    }

    // The words of a command line, split at blanks.
    bool Start(const std::string& commandLine) {
        std::istringstream line(commandLine);
        std::vector<std::string> arguments;
        for (std::string word; line >> word;) {
            arguments.push_back(word);
        }
        return shell->Initiate(arguments);
    }

    bool HasError(const std::string& operation, const std::string& message) const {
        const std::vector<std::string> lines = capture.ErrorLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](auto& line) { return IsReport(line, operation, message); });
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<App::Bridge> bridge;
    Ref::Ptr<HalvoShell> shell;
};

// A full-screen request that no mode of the display can satisfy fails at start-up, before anything is
// sized from it (a font for 4294967295 pixels took gigabytes).
class StartUpRequest : public GraphicsState, public ::testing::WithParamInterface<const char*> {};

TEST_P(StartUpRequest, NoModeFitsSoTheStartFails) {
    EXPECT_FALSE(Start(GetParam()));
    EXPECT_TRUE(HasError("Halvo::Gfx::SdlDriver::SetAdapterConfig", "Could not create SDL renderer."));
    EXPECT_TRUE(HasError("Halvo::HalvoShell::GraphicsApplyState", "Could not set graphics state."));
    EXPECT_FALSE(shell->font || shell->consoleRenderer || shell->canvas);
}

INSTANTIATE_TEST_SUITE_P(GraphicsState, StartUpRequest,
                         ::testing::Values("+g_format = 12 +g_width = 2000 +g_height = 768",
                                           "+g_format = 13 +g_width = 1024 +g_height = 768",
                                           "+g_format = 12 +g_width = 4294967295 +g_height = 4294967295"));

TEST_F(GraphicsState, ApplyWithNoFittingModeRestoresThePreviousState) {
    ASSERT_TRUE(Start("+g_windowed on"));
    const std::uint32_t fontHeight = shell->font->height;
    for (const char* size : {"@g_width = 2000", "@g_width = 4294967295"}) {
        capture.Clear();
        shell->console->Execute("@g_windowed off");
        shell->console->Execute(size);
        shell->console->Execute("@g_height = 4294967295");
        shell->console->Execute("@g_apply");
        EXPECT_TRUE(HasError("Halvo::Gfx::SdlDriver::SetAdapterConfig", "Could not create SDL renderer."))
            << size;
        EXPECT_EQ(capture.Lines().at(4), "Attempting to restore previous graphics state.");
        std::uint32_t driver = 0, adapter = 0;
        Gfx::DisplayConfig config;
        ASSERT_TRUE(shell->GraphicsGetState(driver, adapter, config));
        EXPECT_EQ(config, (Gfx::DisplayConfig{640, 480, Gfx::PixelFormat::X8R8G8B8, true, true}));
        EXPECT_TRUE(shell->windowedVariable.value);
        EXPECT_EQ(shell->widthVariable.value, 640u);
        EXPECT_EQ(shell->font->height, fontHeight);
    }
}

} // namespace
} // namespace Halvo
