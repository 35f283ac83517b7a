#include <cstdlib>
#include <string>

#include <SDL.h>

#include <benchmark/benchmark.h>

#include "app/sdl/SdlBridge.h"
#include "console/InputContext.h"
#include "console/System.h"
#include "gfx/ConsoleDrawing.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"
#include "gfx/NesCanvas.h"
#include "gfx/sdl/SdlDriver.h"

namespace Halvo::Gfx {
namespace {

// What the shell draws each frame at 1024 x 768 on the headless display with the software renderer:
// clear, the NES picture stretched to 8:7, the console fully open with 40 lines of text, present.
// The font is 10 pixels high so that all 40 lines fit the console's 65% of the screen. The time per
// iteration is the time per frame, in milliseconds.
void BM_FrameWithOpenConsole(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    Ref::Ptr<Console::System> console(Console::System::Instance());
    Ref::Ptr<App::SdlBridge> bridge;
    try {
        bridge = Ref::New<App::SdlBridge>();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    Ref::Ptr<App::Window> window = bridge->CreateWindow(nullptr);
    Ref::Ptr<SdlDriver> driver(Ref::New<SdlDriver>());
    if (!driver->Initiate(window.Get()) ||
        !driver->SetAdapterConfig(0, {1024, 768, PixelFormat::X8R8G8B8, true, false})) {
        state.SkipWithError("cannot configure the display");
        return;
    }
    Ref::Ptr<NesCanvas> canvas = driver->CreateNesCanvas();
    Ref::Ptr<Font> font = driver->CreateFont("Courier New", 10, 0);
    Ref::Ptr<ConsoleRenderer> renderer = driver->CreateConsoleRenderer();
    if (!canvas || !font || !renderer) {
        state.SkipWithError("cannot create the drawing objects");
        return;
    }
    for (int line = 0; line < 40; ++line) {
        console->Output() << "Line " << line << ": the quick brown fox jumps over the lazy dog, "
                          << "then runs a console script of eighty characters" << std::endl;
    }
    Ref::Ptr<Console::InputContext> input(Ref::New<Console::InputContext>(console.Get()));
    input->openness = 1.0f;
    input->line = "loadrom \"game.nes\"";
    input->cursor = static_cast<std::uint32_t>(input->line.size());
    input->cursorShown = true;

    // The NES picture at 8:7 across the full height, centred.
    const ScreenRect picture{73, 0, 951, 768};
    for (auto _ : state) {
        driver->BeginScene();
        driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
        canvas->Draw(picture);
        DrawConsole(*font, *renderer, *input, *console);
        driver->EndScene();
        driver->Present();
    }
    console->lines.clear();
    renderer = nullptr;
    font = nullptr;
    canvas = nullptr;
    driver = nullptr;
    window = nullptr;
    bridge = nullptr;
}
BENCHMARK(BM_FrameWithOpenConsole)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace Halvo::Gfx
