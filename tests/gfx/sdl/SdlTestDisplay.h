#pragma once

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <SDL.h>

#include <gtest/gtest.h>

#include "app/sdl/SdlBridge.h"
#include "gfx/sdl/SdlDriver.h"
#include "support/ConsoleCapture.h"
#include "support/HeadlessSdl.h"

namespace Halvo::TestSupport {

struct Rgb {
    int red = 0, green = 0, blue = 0;
};

inline Rgb ToRgb(Uint32 pixel) {
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

// A test on SDL's headless display: the bridge (which starts SDL), its window and an SDL driver.
// Skips when SDL cannot start.
class SdlTestDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::UseHeadlessSdl();
        try {
            bridge = Ref::New<App::SdlBridge>();
            window = bridge->CreateWindow(nullptr);
            driver = Ref::New<Gfx::SdlDriver>();
        } catch (const std::exception& e) {
            GTEST_SKIP() << "SDL cannot start a display here: " << e.what();
        }
    }

    void TearDown() override {
        // Every SDL object goes before SDL itself, which the bridge shuts down.
        driver = nullptr;
        window = nullptr;
        bridge = nullptr;
    }

    // Initiates the driver with the window and sets a windowed configuration on the one display.
    bool Configure(std::uint32_t width, std::uint32_t height) {
        return driver->Initiate(window.Get()) &&
               driver->SetAdapterConfig(0, {width, height, Gfx::PixelFormat::X8R8G8B8, true, false});
    }

    // The back buffer's pixels in the rectangle as 0xAARRGGBB, rows top to bottom.
    std::vector<Uint32> ReadPixels(int x, int y, int w, int h) const {
        std::vector<Uint32> pixels(static_cast<std::size_t>(w) * h);
        const SDL_Rect area{x, y, w, h};
        if (SDL_RenderReadPixels(driver->GetRenderer(), &area, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                                 w * 4) != 0) {
            ADD_FAILURE() << "cannot read the back buffer: " << SDL_GetError();
        }
        return pixels;
    }

    // How many pixels of the rectangle pass the test.
    template <class IsInk>
    int InkIn(int left, int top, int right, int bottom, IsInk isInk) const {
        int count = 0;
        for (Uint32 pixel : ReadPixels(left, top, right - left, bottom - top)) {
            count += isInk(ToRgb(pixel)) ? 1 : 0;
        }
        return count;
    }

    // Whether the back buffer shows the colour at (x, y), within 1 in every channel: blending may round
    // either way.
    testing::AssertionResult Shows(int x, int y, Rgb expected) const {
        const Rgb actual = ToRgb(ReadPixels(x, y, 1, 1)[0]);
        if (std::abs(actual.red - expected.red) <= 1 && std::abs(actual.green - expected.green) <= 1 &&
            std::abs(actual.blue - expected.blue) <= 1) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "(" << actual.red << ", " << actual.green << ", " << actual.blue
                                           << ") at (" << x << ", " << y << ")";
    }

    ConsoleCapture capture;
    Ref::Ptr<App::SdlBridge> bridge;
    Ref::Ptr<App::Window> window;
    Ref::Ptr<Gfx::SdlDriver> driver;
};

} // namespace Halvo::TestSupport
