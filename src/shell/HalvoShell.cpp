#include "shell/HalvoShell.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/Keys.h"
#include "console/ConsoleKey.h"
#include "console/StopRequest.h"
#include "gfx/ConsoleDrawing.h"
#include "gfx/MemoryNesCanvasBase.h"
#include "gfx/MessageDrawing.h"
#include "gfx/PngFile.h"
#include "nes/Cartridges.h"
#include "nes/Joypad.h"
#include "nes/NintendoPorts.h"
#include "nes/Ppu.h"
#include "nes/mmc/Fds.h"
#include "shell/AtomicFile.h"
#include "shell/CommandLine.h"
#include "shell/ConsoleHistory.h"
#include "shell/DisplayGeometry.h"
#include "shell/FramePreview.h"
#include "shell/GameStart.h"
#include "shell/ScreenshotName.h"
#include "shell/Settings.h"

namespace Halvo {

namespace {

constexpr const char* ValidateOperation = "Halvo::HalvoShell::GraphicsValidateVariables";

constexpr double FastForwardSpeed = 8;

// The keys of a fresh start, as "bind" lines would set them.
constexpr std::pair<const char*, const char*> DefaultBindings[] = {
    {"X", "+p1_a"},
    {"Z", "+p1_b"},
    {"A", "+p1_select"},
    {"S", "+p1_start"},
    {"Up", "+p1_up"},
    {"Down", "+p1_down"},
    {"Left", "+p1_left"},
    {"Right", "+p1_right"},
    {"P", "pause"},
    {"Pause", "pause"},
    {"F12", "screenshot"},
    {"F11", "g_togglefullscreen"},
    {"Alt+Return", "g_togglefullscreen"},
    {"Tab", "+fastforward"},
    {"F5", "savestate"},
    {"F7", "loadstate"},
    {"Backspace", "+rewind"},
    {"F8", "fds_flip"},
    {"\\", "frame_advance"},
};

// The joypad's buttons in the order of their bits, as the actions name them.
constexpr const char* ButtonNames[8] = {"a", "b", "select", "start", "up", "down", "left", "right"};

// A gamepad's controls by position, as on the NES pad: its east face button is A, the south one B.
constexpr std::pair<App::GamepadButton, std::uint8_t> GamepadButtons[] = {
    {App::GamepadButton::East, Nes::Joypad::ButtonA},
    {App::GamepadButton::South, Nes::Joypad::ButtonB},
    {App::GamepadButton::Back, Nes::Joypad::ButtonSelect},
    {App::GamepadButton::Start, Nes::Joypad::ButtonStart},
    {App::GamepadButton::DpadUp, Nes::Joypad::ButtonUp},
    {App::GamepadButton::DpadDown, Nes::Joypad::ButtonDown},
    {App::GamepadButton::DpadLeft, Nes::Joypad::ButtonLeft},
    {App::GamepadButton::DpadRight, Nes::Joypad::ButtonRight},
};

// A stick pushed at least half-way counts as the direction.
constexpr std::int32_t StickThreshold = 16384;

} // namespace

HalvoShell* HalvoShell::Instance(App::Bridge* bridge) {
    if (!instance) {
        instance = Ref::New<HalvoShell>(bridge);
    }
    return static_cast<HalvoShell*>(instance);
}

Ref::Ptr<App::Shell> HalvoShell::Make(App::Bridge* bridge) {
    return Ref::Ptr<App::Shell>(Instance(bridge));
}

HalvoShell::HalvoShell(App::Bridge* bridge)
    : Shell(bridge), console(Console::System::Instance()),
      inputContext(Ref::New<Console::InputContext>(console.Get())) {
    for (std::uint32_t pad = 0; pad < Nes::ButtonState::Pads; ++pad) {
        for (std::uint32_t bit = 0; bit < 8; ++bit) {
            const std::string name = "p" + std::to_string(pad + 1) + "_" + ButtonNames[bit];
            const auto button = static_cast<std::uint8_t>(1u << bit);
            joypadActions.push_back(
                std::make_unique<ShellAction>("+" + name,
                                              "Holds " + std::string(ButtonNames[bit]) + " of joypad " +
                                                  std::to_string(pad + 1) + " down until -" + name + ".",
                                              [this, pad, button] { HoldButton(pad, button, true); }));
            joypadActions.push_back(std::make_unique<ShellAction>(
                "-" + name, "Ends +" + name + ".", [this, pad, button] { HoldButton(pad, button, false); }));
        }
    }
    for (const auto& [key, line] : DefaultBindings) {
        bindings.Bind(Bindings::ChordOfName(key), line);
    }
    const char* latency = std::getenv("HALVO_LATENCY_LOG");
    latencyLogging = latency && *latency && std::string_view(latency) != "0";
    for (Console::Function* function : ConsoleFunctions()) {
        console->RegisterFunction(Ref::Ptr<Console::Function>(function));
    }
}

HalvoShell::~HalvoShell() {
    for (Console::Function* function : ConsoleFunctions()) {
        console->UnregisterFunction(function->name);
    }
    // The machines point into the image they run.
    debugFunctions.Attach(nullptr);
    runAhead.Forget();
    process.Reset();
    romImage.reset();
}

std::vector<Console::Function*> HalvoShell::ConsoleFunctions() {
    std::vector<Console::Function*> functions = {
        &enumDrivers,         &enumAdapters,    &enumModes,          &enumFormats,     &applyState,
        &driverIndexVariable, &adapterVariable, &widthVariable,      &heightVariable,  &formatVariable,
        &windowedVariable,    &syncVariable,    &stretchVariable,    &loadRomFunction, &unloadRomFunction,
        &resetFunction,       &quitFunction,    &screenshotFunction, &statsFunction,   &soundVariable,
        &volumeVariable,      &latencyVariable, &bindFunction,       &unbindFunction,  &unbindAllFunction,
        &writeConfigFunction, &pauseFunction,   &fastForwardOn,      &fastForwardOff,  &fullScreenFunction,
        &integerScaleVariable};
    for (const auto& action : joypadActions) {
        functions.push_back(action.get());
    }
    for (Console::Function* function : movies.Functions()) {
        functions.push_back(function);
    }
    functions.push_back(&frameAdvanceFunction);
    for (Console::Function* function : stateFunctions.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : rewind.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : soundSettings.Functions()) {
        functions.push_back(function);
    }
    functions.push_back(&timingVariable);
    for (Console::Function* function : nsfPlayer.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : diskSettings.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : runAhead.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : messages.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : picture.Functions()) {
        functions.push_back(function);
    }
    functions.push_back(&recentGames);
    functions.push_back(&windowPlaceVariable);
    functions.push_back(&variableRefreshVariable);
    for (Console::Function* function : debugFunctions.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : viewers.Functions()) {
        functions.push_back(function);
    }
    for (Console::Function* function : recording.Functions()) {
        functions.push_back(function);
    }
    return functions;
}

std::uint32_t HalvoShell::GetDriverCount() {
    return bridge->GetDriverCount();
}

Ref::Ptr<Gfx::Driver> HalvoShell::GetDriver(std::uint32_t index) {
    return bridge->GetDriver(index);
}

void HalvoShell::RequestQuit(std::int32_t exitCode) {
    bridge->Quit(exitCode);
}

void HalvoShell::RequestScreenshot(const std::string& fileName, bool raw) {
    screenshotFile = fileName;
    screenshotPending = true;
    screenshotRaw = raw;
}

bool HalvoShell::OnInitiate(const std::vector<std::string>& arguments) {
    romIOManager = Nes::RomImageIOManager::Instance();
    mmcManager = Nes::MmcManager::Instance();
    Nes::RegisterCartridgeSupport(*romIOManager, *mmcManager);

    // Without a graphics driver there is nothing to show the program in.
    const Ref::Ptr<Gfx::Driver> firstDriver = bridge->GetDriver(0);
    if (!firstDriver) {
        return false;
    }
    Gfx::DisplayMode mode;
    for (std::uint32_t i = 0; firstDriver->GetMode(0, i, mode); ++i) {
        if (mode.width == 640 && mode.height == 480) {
            formatVariable.value = static_cast<unsigned int>(mode.format);
            break;
        }
    }

    // The settings Halvo wrote last time, then the player's own lines, each only if present.
    for (const char* file : {"config.cfg", "autoexec.cfg"}) {
        const std::filesystem::path path = ConfigFolder() / file;
        std::error_code error;
        if (!std::filesystem::exists(path, error)) {
            continue;
        }
        std::string quoted;
        if (QuoteConsoleWord(path.string(), quoted)) {
            console->Execute("@run " + quoted);
        } else {
            console->Output() << "Could not run " << path.string() << ": no console line can name it."
                              << std::endl;
        }
    }
    // The history is for the player's own lines: Up should not bring back the settings, but does bring
    // back what was typed last time.
    console->history.clear();
    ConsoleHistory::Load(*console, ConsoleHistory::DefaultFile());

    const CommandLine commandLine = ParseCommandLine(arguments);
    for (const std::string& problem : commandLine.problems) {
        console->Output() << problem << std::endl;
    }
    for (const std::string& line : commandLine.consoleLines) {
        // A signal during the lines ends the program at the first turn of the main loop; nothing more
        // is set up for it.
        if (Console::StopRequested()) {
            return true;
        }
        console->Execute(line);
    }
    if (Console::StopRequested()) {
        return true;
    }
    // The window goes back where it stood when Halvo last ended.
    if (window && window->place.Parse(windowPlaceVariable.value)) {
        window->placeKnown = true;
    }
    if (!GraphicsApplyState()) {
        return false;
    }
    UpdateSound(false);
    if (!commandLine.romFile.empty()) {
        NesLoadRomImage(commandLine.romFile);
    }
    if (!loaded) {
        // A newcomer sees the console first, with a hint of what to type.
        inputContext->OnKey(Console::ToggleKey, 0);
        console->Output() << "The ` key (left of 1) closes this console and opens it again; Escape quits."
                          << std::endl;
        console->Output() << "Type loadrom and Enter to choose a NES ROM image (.nes, .unif), or loadrom and "
                             "its file name; type help for the other commands."
                          << std::endl;
        if (!recentGames.games.empty()) {
            console->Output() << "Recent games (recent N loads one):" << std::endl;
            for (const std::string& line : recentGames.Lines()) {
                console->Output() << line << std::endl;
            }
        }
    }
    return true;
}

void HalvoShell::GraphicsValidateVariables() {
    const std::uint32_t driverCount = bridge->GetDriverCount();
    if (driverIndexVariable.value >= driverCount) {
        if (!driver) {
            Console::ReportError(ValidateOperation, __LINE__)
                << "Forcing default graphics driver." << std::endl;
            driverIndexVariable.value = 0;
        } else {
            Console::ReportError(ValidateOperation, __LINE__)
                << "Forcing current graphics driver." << std::endl;
            for (std::uint32_t i = 0; i < driverCount; ++i) {
                if (bridge->GetDriver(i) == driver) {
                    driverIndexVariable.value = i;
                }
            }
        }
    }
    const Ref::Ptr<Gfx::Driver> chosen = bridge->GetDriver(driverIndexVariable.value);
    if (!chosen) {
        return;
    }
    std::uint32_t currentAdapter = 0;
    Gfx::DisplayConfig currentConfig;
    const bool configured = chosen->GetAdapterConfig(currentAdapter, currentConfig);
    if (adapterVariable.value >= chosen->GetAdapterCount()) {
        if (!configured) {
            Console::ReportError(ValidateOperation, __LINE__)
                << "Forcing default display adapter." << std::endl;
            adapterVariable.value = 0;
        } else {
            Console::ReportError(ValidateOperation, __LINE__)
                << "Forcing current display adapter." << std::endl;
            adapterVariable.value = currentAdapter;
        }
    }
    Gfx::AdapterInfo info;
    if (!chosen->GetAdapterInfo(adapterVariable.value, info)) {
        return;
    }
    std::ostream& out = console->Output();
    if (windowedVariable.value && (!info.canRenderWindowed || !info.desktopUsable)) {
        out << "Forcing full-screen display mode." << std::endl;
        windowedVariable.value = false;
    }
    if (syncVariable.value && !info.canSyncRetrace) {
        out << "Forcing no vertical retrace synchronization." << std::endl;
        syncVariable.value = false;
    }
    if (stretchVariable.value && !info.canStretch) {
        out << "Forcing unstretched display." << std::endl;
        stretchVariable.value = false;
    }
    if (windowedVariable.value) {
        widthVariable.value = std::min(widthVariable.value, info.maxWindowWidth);
        heightVariable.value = std::min(heightVariable.value, info.maxWindowHeight);
        formatVariable.value = static_cast<unsigned int>(info.desktopFormat);
        return;
    }
    // Full screen: the requested mode if the adapter has it, else the next larger one in list order.
    const Gfx::DisplayMode requested{widthVariable.value, heightVariable.value,
                                     static_cast<Gfx::PixelFormat>(formatVariable.value)};
    Gfx::DisplayMode mode;
    for (std::uint32_t i = 0; chosen->GetMode(adapterVariable.value, i, mode); ++i) {
        if (mode == requested) {
            return;
        }
        if (requested < mode) {
            widthVariable.value = mode.width;
            heightVariable.value = mode.height;
            formatVariable.value = static_cast<unsigned int>(mode.format);
            return;
        }
    }
}

bool HalvoShell::GraphicsGetState(std::uint32_t& driverIndex, std::uint32_t& adapter,
                                  Gfx::DisplayConfig& config) {
    if (!driver || !driver->GetAdapterConfig(adapter, config)) {
        return false;
    }
    for (std::uint32_t i = 0; i < bridge->GetDriverCount(); ++i) {
        if (bridge->GetDriver(i) == driver) {
            driverIndex = i;
        }
    }
    return true;
}

bool HalvoShell::GraphicsApplyState() {
    GraphicsValidateVariables();
    std::uint32_t previousDriver = 0;
    std::uint32_t previousAdapter = 0;
    Gfx::DisplayConfig previousConfig;
    const bool hadState = GraphicsGetState(previousDriver, previousAdapter, previousConfig);

    Gfx::DisplayConfig requested;
    requested.width = widthVariable.value;
    requested.height = heightVariable.value;
    requested.format = static_cast<Gfx::PixelFormat>(formatVariable.value);
    requested.windowed = windowedVariable.value;
    requested.vsync = syncVariable.value;
    if (hadState && previousDriver == driverIndexVariable.value && previousAdapter == adapterVariable.value &&
        previousConfig == requested) {
        return true;
    }
    if (GraphicsSetState(driverIndexVariable.value, adapterVariable.value, requested)) {
        return true;
    }
    if (hadState) {
        console->Output() << "Attempting to restore previous graphics state." << std::endl;
        if (GraphicsSetState(previousDriver, previousAdapter, previousConfig)) {
            return true;
        }
    }
    Console::ReportError("Halvo::HalvoShell::GraphicsApplyState", __LINE__)
        << "Could not set graphics state." << std::endl;
    return false;
}

bool HalvoShell::GraphicsSetState(std::uint32_t driverIndex, std::uint32_t adapter,
                                  const Gfx::DisplayConfig& config) {
    GraphicsReleaseState();
    const Ref::Ptr<Gfx::Driver> chosen = bridge->GetDriver(driverIndex);
    if (!chosen) {
        Console::ReportError("Halvo::HalvoShell::GraphicsSetState", __LINE__)
            << "Invalid graphics driver." << std::endl;
        return false;
    }
    std::ostream& out = console->Output();
    if (chosen != driver) {
        if (driver) {
            out << "Terminating graphics driver: " << driver->name << std::endl;
            driver->Terminate();
            driver = nullptr;
        }
        out << "Initiating graphics driver: " << chosen->name << std::endl;
        if (!chosen->Initiate(window.Get())) {
            return false;
        }
        driver = chosen;
    }
    Gfx::AdapterInfo info;
    if (!driver->GetAdapterInfo(adapter, info)) {
        out << "Invalid display adapter." << std::endl;
        return false;
    }
    out << "Setting display adapter: " << info.description << "\n"
        << "Setting display mode: " << config.width << 'x' << config.height << 'x'
        << Gfx::GetBitsPerPixel(config.format) << " (" << Gfx::GetFormatName(config.format) << ") ("
        << (config.windowed ? "Windowed" : "Full Screen") << ")" << std::endl;
    if (!driver->SetAdapterConfig(adapter, config)) {
        return false;
    }
    // A display that cannot switch to the mode asked for uses another: everything below is sized for
    // the configuration really in force.
    Gfx::DisplayConfig applied = config;
    std::uint32_t appliedAdapter = adapter;
    driver->GetAdapterConfig(appliedAdapter, applied);
    // A high-density display gives the window more pixels than its size: the picture and the console
    // are drawn at the display's own density.
    std::uint32_t outputWidth = applied.width;
    std::uint32_t outputHeight = applied.height;
    driver->GetOutputSize(outputWidth, outputHeight);
    font = driver->CreateFont("Courier New", ConsoleFontHeight(outputWidth, outputHeight), 0);
    if (!font) {
        return false;
    }
    consoleRenderer = driver->CreateConsoleRenderer();
    if (!consoleRenderer) {
        return false;
    }
    backBufferWidth = outputWidth;
    backBufferHeight = outputHeight;
    PlacePicture();
    picture.Changed();
    canvas = MakeCanvas(static_cast<std::uint32_t>(displayRect.right - displayRect.left));
    if (!canvas) {
        return false;
    }
    if (loaded) {
        process->GetPpu().SetCanvas(canvas);
        ShowStandingPicture();
    }

    driverIndexVariable.value = driverIndex;
    adapterVariable.value = adapter;
    widthVariable.value = applied.width;
    heightVariable.value = applied.height;
    formatVariable.value = static_cast<unsigned int>(applied.format);
    windowedVariable.value = applied.windowed;
    syncVariable.value = applied.vsync;
    UpdatePacing();
    return true;
}

void HalvoShell::UpdatePacing() {
    pacedForVariableRefresh = variableRefreshVariable.value;
    // A variable-refresh display follows the frames: the clock paces them, and nothing waits for a
    // refresh of its own.
    pacer.SetDisplay(window ? window->RefreshRate() : 0.0,
                     syncVariable.value && !variableRefreshVariable.value);
    if (latencyLogging) {
        console->Output() << "Latency log: the display refreshes at "
                          << (window ? window->RefreshRate() : 0.0) << " Hz; frames are held for "
                          << pacer.RefreshesPerFrame() << " refreshes (0: by the clock)." << std::endl;
    }
}

void HalvoShell::OnDisplayChanged() {
    UpdatePacing();
    // Another display may have another pixel density: the back buffer has another size then.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (driver && driver->GetOutputSize(width, height) &&
        (width != backBufferWidth || height != backBufferHeight)) {
        std::uint32_t driverIndex = 0;
        std::uint32_t adapter = 0;
        Gfx::DisplayConfig config;
        if (GraphicsGetState(driverIndex, adapter, config)) {
            GraphicsSetState(driverIndex, adapter, config);
        }
    }
}

void HalvoShell::OnInputAge(double age) {
    if (latencyLogging && timer) {
        const double now = timer->Now();
        latencyLog.KeyPressed(now - age, now);
    }
}

void HalvoShell::GraphicsReleaseState() {
    if (loaded) {
        process->GetPpu().SetCanvas(nullptr);
    }
    canvas = nullptr;
    consoleRenderer = nullptr;
    font = nullptr;
}

bool HalvoShell::GraphicsRestoreState() {
    if (!driver || !driver->ResetAdapterConfig()) {
        return false;
    }
    if (font && font->Reset() && consoleRenderer && consoleRenderer->Reset() && canvas && canvas->Reset()) {
        return true;
    }
    bridge->Quit(0);
    return false;
}

void HalvoShell::OnIdle() {
    inputContext->Update(timer->frameTime);
    // Asked while the window is inactive too: the desktop's chooser has the focus while it is open.
    romChooser.Poll(*inputContext, console->Output());
    const bool running = active && loaded && !inputContext->visible && !paused;
    // While the disk drive moves, the loading screens pass at fast-forward speed.
    Nes::Fds* drive = loaded ? DiskDrive(*process) : nullptr;
    const bool loading = diskSettings.fastLoadVariable.value && drive && drive->DriveBusy();
    if (loading != diskLoading) {
        diskLoading = loading;
        SetFastForward(heldFastForward);
    }
    UpdateSound(running);
    if (!running) {
        // Time with the game stopped is not caught up afterwards.
        pacer.Stop();
    }
    messages.Update(timer->frameTime);
    messages.Collect(*console, inputContext->visible);
    std::string status = !loaded              ? ""
                         : paused             ? "Paused"
                         : rewind.Rewinding() ? "Rewind"
                         : fastForward        ? "Fast forward"
                                              : "";
    for (const std::string& more : {movies.StatusText(), movies.CounterText()}) {
        if (loaded && !more.empty()) {
            status += (status.empty() ? "" : "  ") + more;
        }
    }
    messages.SetStatus(std::move(status));
    // The viewers follow the machine whether it runs or stands, and also while one of their windows has
    // the focus (the game's window is then not active).
    if (viewers.AnyOpen()) {
        viewers.Update(loaded ? process.Get() : nullptr);
    }
    if (!active) {
        return;
    }
    // A new look takes effect before the frame, which then draws with it.
    if (driver && canvas && picture.Changed()) {
        ApplyPicture();
    }
    if (integerScaleVariable.value != placedAtIntegerScale) {
        const std::int32_t shownWidth = displayRect.right - displayRect.left;
        PlacePicture();
        // A filter works at the width the picture is shown at: a new width needs a canvas of its own.
        if (driver && canvas && displayRect.right - displayRect.left != shownWidth &&
            picture.filterVariable.value != "none") {
            ApplyPicture();
        }
    }
    if (variableRefreshVariable.value != pacedForVariableRefresh) {
        UpdatePacing();
    }
    std::uint32_t framesRun = 0;
    if (running) {
        framesRun = RunDueFrames();
        if (batterySave) {
            batterySave->Poll(timer->absoluteTime);
        }
    } else if (frameAdvancePending && loaded && paused && !inputContext->visible) {
        frameAdvancePending = false;
        if (!debugFunctions.debugger.Stopped()) {
            RunMovieFrame(true, Nes::FrameRate(process->region));
            recording.AfterFrame(*process, console->Output());
            process->GetApu().samples.clear();
        }
    }
    // On a variable-refresh display a present without a new frame would hold the display to it.
    if (running && framesRun == 0 && variableRefreshVariable.value && !screenshotPending) {
        return;
    }
    if (lost) {
        if (GraphicsRestoreState()) {
            lost = false;
        }
        if (lost) {
            return;
        }
    }
    // A failed resize or apply leaves nothing to draw with until the program ends.
    if (!driver || !font || !consoleRenderer || !canvas) {
        return;
    }
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    if (driver->BeginScene()) {
        if (loaded) {
            canvas->Draw(displayRect);
        }
        // A screenshot is of the game, not of the word of the last one.
        if (!inputContext->visible && !screenshotPending) {
            Gfx::DrawMessages(*font, *consoleRenderer, messages.Lines(), messages.Status());
        }
        if (romChooser.Showing(*inputContext)) {
            romChooser.Draw(*font, *consoleRenderer, *inputContext);
        } else {
            Gfx::DrawConsole(*font, *consoleRenderer, *inputContext, *console);
        }
        driver->EndScene();
    }
    if (screenshotPending) {
        TakeScreenshot();
    }
    const double presentStart = timer->Now();
    driver->Present();
    const double presentEnd = timer->Now();
    if (latencyLogging) {
        const double now = presentEnd;
        if (const std::string line = latencyLog.Presented(now); !line.empty()) {
            char clock[64];
            std::snprintf(clock, sizeof clock, " Presented at %.4f s of the system clock.",
                          timer->origin + now);
            console->Output() << line << clock << std::endl;
        }
    }
    // A present that waited returned at a refresh: the next frame's keys are read just in time for the
    // one after. (A present that did not wait has no refresh to be in time for.)
    // Frames at every refresh: held one refresh each, or paced by the clock on a display that does
    // not say its rate.
    const std::uint32_t held = pacer.RefreshesPerFrame();
    const bool unknownRate = held == 0 && syncVariable.value && !variableRefreshVariable.value &&
                             (!window || window->RefreshRate() == 0);
    const bool everyRefresh = (held == 1 || unknownRate) && !fastForward && !rewind.Rewinding() &&
                              presentEnd - presentStart >= App::FrameDelay::Margin / 2;
    if (running && framesRun > 0 && everyRefresh) {
        frameDelay.Record(std::max(0.0, presentStart - timer->absoluteTime), presentEnd - lastPresentEnd);
        timer->Sleep(frameDelay.Wait(held ? 1 / pacer.EffectiveRate() : 0.0));
    } else if (!everyRefresh) {
        frameDelay.Forget();
    }
    lastPresentEnd = presentEnd;
}

std::uint32_t HalvoShell::RunDueFrames() {
    Nes::Debugger& debugger = debugFunctions.debugger;
    if (debugger.Stopped()) {
        // Stopped inside a frame, the game goes on only through the debugger's commands.
        OnDebugStop();
        return 0;
    }
    const std::uint32_t frames = pacer.FramesDue(timer->absoluteTime);
    const double frameRate = Nes::FrameRate(process->region);
    // A movie's frames are the game's own: going back in them is done with states.
    if (rewind.held && movies.Active()) {
        rewind.held = false;
        console->Output() << "No rewind during a movie: load a state to go back." << std::endl;
    }
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        // While the debugger watches, its frames run on its own stack and may stop anywhere; the frames
        // ahead and the rewind's record wait until it is done.
        if (debugger.Machine() == process.Get() && debugger.Watching()) {
            FeedButtons();
            movies.BeforeFrame(*process);
            if (debugger.RunFrame(frame + 1 == frames || recording.Active()) ==
                Nes::Debugger::FrameResult::Stopped) {
                OnDebugStop();
                break;
            }
            movies.AfterFrame(*process);
            std::vector<float>& samples = process->GetApu().samples;
            if (audio && process->GetApu().Synthesis() && !fastForward) {
                audio->Submit(samples);
            }
            recording.AfterFrame(*process, console->Output());
            samples.clear();
            continue;
        }
        // Only the last frame of a catch-up is drawn: the others would never be seen. Its picture comes
        // from the frames ahead when run-ahead is on (not while rewinding: the past has no ahead).
        // A recording takes every frame's picture, the machine's own also under run-ahead.
        const bool shown = frame + 1 == frames;
        const bool ahead = shown && runAhead.On() && !rewind.Rewinding();
        RunMovieFrame((shown && !ahead) || recording.Active(), frameRate);
        std::vector<float>& samples = process->GetApu().samples;
        if (!rewind.Rewinding()) {
            nsfPlayer.AfterFrame(*process, samples, console->Output());
        }
        if (audio && process->GetApu().Synthesis() && !fastForward && !rewind.Rewinding()) {
            audio->Submit(samples);
        }
        recording.AfterFrame(*process, console->Output());
        samples.clear();
        if (ahead) {
            runAhead.ShowAhead(*process);
        }
    }
    if (audio && rewind.Rewinding()) {
        audio->Silence();
    }
    stats.Add(timer->frameTime, frames, 1);
    if (latencyLogging && frames > 0) {
        latencyLog.FrameRun(timer->Now());
    }
    // Without vertical sync (or on a variable-refresh display) nothing else holds the loop back: it
    // waits for the next frame.
    if (frames == 0 && (!syncVariable.value || variableRefreshVariable.value)) {
        timer->Sleep(std::min(pacer.SecondsToNext(timer->absoluteTime), 0.002));
    }
    return frames;
}

void HalvoShell::RunMovieFrame(bool render, double frameRate) {
    // The keys and gamepads as they are now: a movie's frame may have set other buttons before.
    FeedButtons();
    if (!rewind.Rewinding()) {
        movies.BeforeFrame(*process);
    }
    rewind.RunFrame(*process, render, frameRate);
    if (!rewind.Rewinding()) {
        movies.AfterFrame(*process);
    }
}

void HalvoShell::FrameAdvance() {
    if (!loaded) {
        console->Output() << "No game to advance." << std::endl;
    } else if (!paused) {
        SetPaused(true);
    } else {
        frameAdvancePending = true;
    }
}

bool HalvoShell::MoviePowerOn() {
    // A machine built afresh is the console at power-on: the same from one run to the next.
    const std::string file = romFile;
    return NesLoadRomImage(file);
}

void HalvoShell::UpdateSound(bool running) {
    if (!soundVariable.value) {
        if (audio) {
            audio->Silence();
        }
        if (loaded) {
            // A recording has the sound whether or not the speaker plays it.
            process->GetApu().SetSynthesis(recording.Active());
        }
        return;
    }
    if (!audio && !audioTried) {
        // A device that cannot be opened is reported once; the game goes on silent.
        audioTried = true;
        std::string error;
        if (const Ref::Ptr<Sound::AudioDevice> device = bridge->OpenAudioDevice(error)) {
            audio = std::make_unique<Sound::AudioOutput>(device, 1789773.0 / Nes::ApuSynth::CyclesPerSample);
        } else {
            console->Output() << "No sound: " << error << std::endl;
        }
    }
    if (!audio) {
        return;
    }
    if (volumeVariable.value > 100) {
        console->Output() << "s_volume goes from 0 to 100." << std::endl;
        volumeVariable.value = 100;
    }
    if (latencyVariable.value < 20 || latencyVariable.value > 1000) {
        console->Output() << "s_latency goes from 20 to 1000 milliseconds." << std::endl;
        latencyVariable.value = std::clamp(latencyVariable.value, 20u, 1000u);
    }
    audio->SetVolume(volumeVariable.value);
    audio->SetLatency(latencyVariable.value);
    if (loaded) {
        soundSettings.Apply(process->GetApu(), console->Output());
        // Fast forward skips the sound, and the time its synthesis would take, unless it is recorded.
        process->GetApu().SetSynthesis(!fastForward || recording.Active());
        // Frames held for whole refreshes run at the display's pace: the sound comes at that pace too.
        audio->SetInputRate(process->GetApu().SampleRate() * pacer.EffectiveRate() / pacer.Rate());
    }
    if (!running || fastForward) {
        audio->Silence();
    }
}

std::string HalvoShell::StatsLine() const {
    return stats.Line(audio ? audio->QueuedMilliseconds() : 0, audio ? audio->underruns : 0);
}

void HalvoShell::TakeScreenshot() {
    screenshotPending = false;
    if (screenshotRaw && !loaded) {
        Console::ReportError("Halvo::HalvoShell::TakeScreenshot", __LINE__)
            << "No game to take a raw screenshot of." << std::endl;
        return;
    }
    std::filesystem::path folder;
    if (startedFromDesktop && screenshotFile.empty()) {
        folder = PicturesFolder();
        std::error_code error;
        std::filesystem::create_directories(folder, error);
    }
    const std::string fileName = screenshotFile.empty() ? FirstFreeScreenshotName(folder) : screenshotFile;
    if (fileName.empty()) {
        Console::ReportError("Halvo::HalvoShell::TakeScreenshot", __LINE__)
            << "Could not write a screenshot: halvo-0000.png to halvo-9999.png are all taken." << std::endl;
        return;
    }
    std::vector<std::uint8_t> rgb;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool captured = false;
    if (screenshotRaw) {
        // The frame the game shows next, as its PPU makes it: no filter, no scaling, no messages.
        const Ref::Ptr<Gfx::MemoryNesCanvasBase> frame =
            Gfx::MemoryNesCanvasBase::Create(Gfx::PixelFormat::X8R8G8B8);
        if (frame) {
            frame->colourTable = picture.Colours();
            captured = DrawFollowingFrame(*process, Ref::Ptr<Gfx::NesCanvas>(frame.Get()));
            rgb = frame->GetPicture();
            width = Gfx::MemoryNesCanvasBase::SurfaceSize;
            height = Gfx::MemoryNesCanvasBase::PictureHeight;
        }
    } else {
        captured = driver->CaptureFrame(rgb, width, height);
    }
    if (captured && Gfx::WritePng(fileName, width, height, rgb)) {
        console->Output() << "Screenshot written to " << fileName << std::endl;
    } else {
        Console::ReportError("Halvo::HalvoShell::TakeScreenshot", __LINE__)
            << "Could not write the screenshot " << fileName << "." << std::endl;
    }
}

void HalvoShell::OnActivate(bool nowActive) {
    if (nowActive) {
        if (!active) {
            lost = true;
        }
        active = true;
        return;
    }
    // Keys let go while another window has the focus never send their release here.
    bindings.ReleaseAll([this](const std::string& line) { console->ExecuteQuietly(line); });
    if (active) {
        lost = false;
        if (canvas) {
            canvas->Invalidate();
        }
        if (consoleRenderer) {
            consoleRenderer->Invalidate();
        }
        if (font) {
            font->Invalidate();
        }
        active = false;
    }
}

void HalvoShell::OnResize(std::uint32_t width, std::uint32_t height) {
    widthVariable.value = width;
    heightVariable.value = height;
    if (!GraphicsApplyState()) {
        Console::ReportError("Halvo::HalvoShell::OnResize", __LINE__)
            << "Could not resize graphics display. Terminating..." << std::endl;
        bridge->Quit(0);
    }
}

void HalvoShell::OnKeyDown(std::uint32_t keyCode, char32_t character) {
    if (keyCode == Console::EscapeKey) {
        bridge->Quit(0);
    }
    if (romChooser.Showing(*inputContext) && romChooser.Key(keyCode, character)) {
        return;
    }
    inputContext->OnKey(keyCode, character);
}

void HalvoShell::ChooseRom() {
    romChooser.Open(*bridge, *inputContext, romChooser.StartFolder(recentGames.games), console->Output());
}

void HalvoShell::CloseConsole() {
    if (inputContext->visible) {
        inputContext->visible = false;
        inputContext->slideSpeed = inputContext->openness > 0.0f ? -Console::InputContext::SlideSpeed : 0.0f;
    }
}

bool HalvoShell::LoadAndPlay(const std::string& fileName) {
    if (!NesLoadRomImage(fileName)) {
        return false;
    }
    romChooser.Loaded(fileName);
    CloseConsole();
    return true;
}

void HalvoShell::OnKeyUp(std::uint32_t, char32_t) {}

void HalvoShell::OnKeyboardKey(std::uint32_t key, bool down) {
    // Escape quits and the console key opens the console, whatever is bound.
    if (key == App::KeyEscape || key == App::KeyGrave) {
        return;
    }
    const auto run = [this](const std::string& line) { console->ExecuteQuietly(line); };
    if (down) {
        bindings.KeyDown(key, !inputContext->visible, run);
    } else {
        bindings.KeyUp(key, run);
    }
}

void HalvoShell::HoldButton(std::uint32_t pad, std::uint8_t button, bool hold) {
    for (std::uint32_t bit = 0; bit < 8; ++bit) {
        std::uint8_t& holds = keyHolds[pad][bit];
        if (button == 1u << bit) {
            holds = hold ? static_cast<std::uint8_t>(std::min(holds + 1, 255)) : holds ? holds - 1 : 0;
        }
    }
    FeedButtons();
}

void HalvoShell::FeedButtons() {
    if (!process) {
        return;
    }
    for (std::uint32_t pad = 0; pad < Nes::ButtonState::Pads; ++pad) {
        std::uint8_t keys = 0;
        for (std::uint32_t bit = 0; bit < 8; ++bit) {
            keys |= keyHolds[pad][bit] ? static_cast<std::uint8_t>(1u << bit) : 0;
        }
        process->Buttons().SetHeld(pad, Nes::ButtonState::Keys, keys);
        process->Buttons().SetHeld(pad, Nes::ButtonState::Gamepad,
                                   gamepads[pad].buttons | gamepads[pad].stick);
    }
}

void HalvoShell::OnGamepadConnected(std::uint32_t slot, const std::string& name) {
    console->Output() << "Gamepad connected: " << name << std::endl;
    if (slot >= Nes::ButtonState::Pads) {
        console->Output() << "Only the first two gamepads drive joypads; this one is not used." << std::endl;
    }
}

void HalvoShell::OnGamepadDisconnected(std::uint32_t slot, const std::string& name) {
    console->Output() << "Gamepad disconnected: " << name << std::endl;
    if (slot < Nes::ButtonState::Pads) {
        gamepads[slot] = {};
        FeedButtons();
    }
}

void HalvoShell::OnGamepadButton(std::uint32_t slot, App::GamepadButton button, bool down) {
    if (slot >= Nes::ButtonState::Pads) {
        return;
    }
    GamepadInput& input = gamepads[slot];
    for (const auto& [control, bit] : GamepadButtons) {
        if (control == button) {
            input.buttons = down ? input.buttons | bit : input.buttons & ~bit;
        }
    }
    FeedButtons();
}

void HalvoShell::OnGamepadAxis(std::uint32_t slot, App::GamepadAxis axis, std::int32_t value) {
    if (slot >= Nes::ButtonState::Pads || axis == App::GamepadAxis::Other) {
        return;
    }
    GamepadInput& input = gamepads[slot];
    const bool across = axis == App::GamepadAxis::LeftX;
    const std::uint8_t back = across ? Nes::Joypad::ButtonLeft : Nes::Joypad::ButtonUp;
    const std::uint8_t ahead = across ? Nes::Joypad::ButtonRight : Nes::Joypad::ButtonDown;
    input.stick &= static_cast<std::uint8_t>(~(back | ahead));
    input.stick |= value <= -StickThreshold ? back : value >= StickThreshold ? ahead : 0;
    FeedButtons();
}

void HalvoShell::SetPaused(bool pause) {
    if (pause && !loaded) {
        console->Output() << "No game to pause." << std::endl;
        return;
    }
    paused = pause;
    UpdateTitle();
}

void HalvoShell::SetFastForward(bool on) {
    heldFastForward = on;
    fastForward = heldFastForward || diskLoading;
    pacer.SetSpeed(fastForward ? FastForwardSpeed : 1);
}

void HalvoShell::ToggleFullScreen() {
    if (windowedVariable.value) {
        windowedWidth = widthVariable.value;
        windowedHeight = heightVariable.value;
    } else if (windowedWidth && windowedHeight) {
        widthVariable.value = windowedWidth;
        heightVariable.value = windowedHeight;
    } else if (window && window->placeKnown) {
        // Started full screen: the window comes back at the size it had when it was one last time.
        widthVariable.value = static_cast<unsigned int>(window->place.rect.width);
        heightVariable.value = static_cast<unsigned int>(window->place.rect.height);
    }
    windowedVariable.value = !windowedVariable.value;
    // As "g_apply": a display left with no state at all ends the program.
    if (!GraphicsApplyState()) {
        console->Output() << "No graphics state set, terminating..." << std::endl;
        bridge->Quit(0);
    }
}

bool HalvoShell::WriteConfig() {
    if (window && window->placeKnown) {
        windowPlaceVariable.value = window->place.Text();
    }
    const std::filesystem::path folder = ConfigFolder();
    const std::string script = SettingsScript(console->functions, bindings);
    std::error_code folderError;
    std::filesystem::create_directories(folder, folderError);
    std::string error = folderError ? folderError.message() : std::string();
    if (folderError || !WriteFileAtomically(folder / "config.cfg", script.data(), script.size(), error)) {
        Console::ReportError("Halvo::HalvoShell::WriteConfig", __LINE__)
            << "Could not write the settings file " << (folder / "config.cfg").string() << ": " << error
            << "." << std::endl;
        return false;
    }
    return true;
}

bool HalvoShell::NesLoadRomImage(const std::string& fileName) {
    // The new machine is made before the old game goes, so that an image whose board cannot be built
    // leaves the running game as it was.
    Game game;
    Game::Settings settings = diskSettings.ForGame();
    settings.cpuKind = timingVariable.CpuKind();
    const Game::Outcome built = Game::Build(*romIOManager, fileName, game, settings);
    if (built == Game::Outcome::NoBios) {
        return false;
    }
    if (built == Game::Outcome::ImageUnreadable) {
        Console::ReportError("Halvo::HalvoShell::NesLoadRomImage", __LINE__)
            << "Could not load NES ROM image file." << std::endl;
        return false;
    }
    if (built == Game::Outcome::NoMachine) {
        Console::ReportError("Halvo::HalvoShell::NesLoadRomImage", __LINE__)
            << "Could not create Nes::Process object." << std::endl;
        return false;
    }
    NesUnloadRomImage();
    game.Begin(BatterySave::DefaultFolder(), canvas);
    romImage = std::move(game.image);
    process = std::move(game.machine);
    debugFunctions.Attach(process.Get());
    LoadSymbolsBeside(fileName);
    batterySave = std::move(game.battery);
    romFile = fileName;
    rewind.Forget();
    pacer.SetRate(Nes::FrameRate(process->region));
    pacer.Stop();
    FeedButtons();
    paused = false;
    console->Output() << fileName << " successfully loaded." << std::endl;
    recentGames.Add(fileName);
    loaded = true;
    if (const Nes::Nsf* board = NsfPlayer::Board(process.Get())) {
        NsfPlayer::Describe(*board, console->Output());
    }
    UpdateTitle();
    return true;
}

void HalvoShell::OnDropFile(const std::string& file) {
    LoadAndPlay(file);
}

void HalvoShell::NesUnloadRomImage() {
    if (loaded) {
        // The recording ends with its game, finished and playable.
        recording.Stop(console->Output());
        movies.OnGameChanged();
        if (batterySave) {
            batterySave->Save();
            batterySave.reset();
        }
        runAhead.Forget();
        debugFunctions.Attach(nullptr);
        process = nullptr;
        romImage.reset();
        loaded = false;
        paused = false;
        UpdateTitle();
    }
}

void HalvoShell::NesReset(bool hard) {
    if (loaded && !movies.OnReset(hard)) {
        return;
    }
    // A hard reset with another timing model chosen builds the game's machine again in that model.
    if (loaded && hard && process->TimingName() != std::string_view(timingVariable.value)) {
        const std::string file = romFile;
        NesLoadRomImage(file);
        return;
    }
    if (loaded) {
        // The machine starts its sound from silence: fade out what was playing.
        if (audio) {
            audio->Silence();
        }
        // A machine stopped inside a frame ends it first: a reset comes between frames.
        debugFunctions.debugger.FinishFrame();
        process->Reset(hard);
        pacer.Stop();
        // A reset starts the game again: it runs, even if it was paused.
        if (paused) {
            paused = false;
            UpdateTitle();
        }
    }
}

void HalvoShell::OnDebugStop() {
    paused = false;
    if (!inputContext->visible) {
        inputContext->visible = true;
        inputContext->slideSpeed = Console::InputContext::SlideSpeed;
    }
}

void HalvoShell::OnDebugContinue() {
    if (inputContext->visible) {
        inputContext->visible = false;
        inputContext->slideSpeed = -Console::InputContext::SlideSpeed;
    }
}

void HalvoShell::LoadSymbolsBeside(const std::string& romFileName) {
    Nes::Symbols& symbols = debugFunctions.debugger.symbols;
    symbols.Clear();
    const std::string read =
        symbols.LoadBeside(romFileName, romImage->prgBankCount * Nes::RomImage::PrgBankSize);
    if (!read.empty()) {
        console->Output() << "Labels: " << read << " (" << symbols.Count() << ")." << std::endl;
    }
}

Nes::Process* HalvoShell::StateMachine() {
    // States are taken and put back between frames.
    if (loaded) {
        debugFunctions.debugger.FinishFrame();
    }
    return loaded ? process.Get() : nullptr;
}

void HalvoShell::OnStateLoaded() {
    // The sound jumps with the game: what was playing fades out instead of breaking off.
    if (audio) {
        audio->Silence();
    }
    // A game that stands still shows the loaded moment at once, not the picture it stood at.
    ShowStandingPicture();
}

void HalvoShell::ShowStandingPicture() {
    if (loaded && canvas && (paused || inputContext->visible)) {
        DrawFollowingFrame(*process, canvas);
    }
}

void HalvoShell::PlacePicture() {
    placedAtIntegerScale = integerScaleVariable.value;
    displayRect = placedAtIntegerScale
                      ? IntegerDisplayRectangle(backBufferWidth, backBufferHeight)
                      : DisplayRectangle(backBufferWidth, backBufferHeight, stretchVariable.value);
}

Ref::Ptr<Gfx::NesCanvas> HalvoShell::MakeCanvas(std::uint32_t width) {
    Ref::Ptr<Gfx::NesCanvas> made;
    // Decoded at the width it is shown at (the filter's fringes are finer than a NES pixel), within
    // reason: below twice the NES's width the fringes are lost, past 1920 columns nobody sees more.
    if (const std::shared_ptr<Gfx::PictureFilter> filter = picture.Filter(std::clamp(width, 512u, 1920u))) {
        made = driver->CreateFilteredNesCanvas(filter);
        if (!made) {
            console->Output() << "The " << driver->name
                              << " driver cannot filter the picture; it is shown as it is." << std::endl;
        }
    }
    if (!made) {
        made = driver->CreateNesCanvas();
    }
    if (made) {
        made->colourTable = picture.Colours();
    }
    return recording.Wrap(made);
}

void HalvoShell::ApplyPicture() {
    const Ref::Ptr<Gfx::NesCanvas> made =
        MakeCanvas(static_cast<std::uint32_t>(displayRect.right - displayRect.left));
    if (!made) {
        return;
    }
    canvas = made;
    if (loaded) {
        // The new canvas takes the colours, and the next frame's picture, from the PPU.
        process->GetPpu().SetCanvas(canvas);
        ShowStandingPicture();
    }
}

void HalvoShell::UpdateTitle() {
    if (window) {
        window->title = loaded ? romImage->name + (paused ? " (paused)" : "") : std::string();
        window->UpdateTitle();
    }
}

void HalvoShell::OnTerminate() {
    // An open desktop chooser closes with the program.
    romChooser.Close();
    if (latencyLogging && latencyLog.Presses() > 0) {
        console->Output() << latencyLog.Summary() << std::endl;
    }
    // The viewers' windows go before the platform does.
    viewers.CloseAll();
    // The settings last: the next start runs them.
    WriteConfig();
    if (std::string error; !ConsoleHistory::Save(*console, ConsoleHistory::DefaultFile(), error)) {
        Console::ReportError("Halvo::HalvoShell::OnTerminate", __LINE__)
            << "Could not write the console history " << ConsoleHistory::DefaultFile().string() << ": "
            << error << "." << std::endl;
    }
    NesUnloadRomImage();
    // The device belongs to the platform, which ends after the shell.
    audio.reset();
    if (driver) {
        GraphicsReleaseState();
        driver->Terminate();
        driver = nullptr;
    }
    mmcManager = nullptr;
    romIOManager = nullptr;
}

} // namespace Halvo
