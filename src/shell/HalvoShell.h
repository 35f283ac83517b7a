#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/FrameDelay.h"
#include "app/FramePacer.h"
#include "app/LatencyLog.h"
#include "app/Shell.h"
#include "console/InputContext.h"
#include "console/System.h"
#include "console/Variable.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Driver.h"
#include "gfx/Font.h"
#include "gfx/GraphicsFunctions.h"
#include "gfx/NesCanvas.h"
#include "gfx/ScreenRect.h"
#include "nes/ButtonState.h"
#include "nes/Process.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImage.h"
#include "nes/rom/RomImageIOManager.h"
#include "shell/BatterySave.h"
#include "shell/Bindings.h"
#include "shell/DebugFunctions.h"
#include "shell/DiskSettings.h"
#include "shell/MovieFunctions.h"
#include "shell/NsfPlayer.h"
#include "shell/OnScreenMessages.h"
#include "shell/PictureSettings.h"
#include "shell/PlayFunctions.h"
#include "shell/PlayStats.h"
#include "shell/RecentGames.h"
#include "shell/Recording.h"
#include "shell/Rewind.h"
#include "shell/RomChooser.h"
#include "shell/RomFunctions.h"
#include "shell/RunAhead.h"
#include "shell/SoundSettings.h"
#include "shell/StateFunctions.h"
#include "shell/TimingVariable.h"
#include "shell/Viewers.h"
#include "shell/WindowPlaceVariable.h"
#include "sound/AudioOutput.h"

namespace Halvo {

// The emulator: ties the console, the graphics driver and the NES machine together. It chooses and
// applies the display state, recovers lost graphics objects, and does the work of each frame: one NES
// frame, its picture, the console over it, present.
class HalvoShell : public App::Shell,
                   public Gfx::GraphicsHost,
                   public StateHost,
                   public DebugHost,
                   public MovieHost {
public:
    // The one shell, made for the bridge on the first call.
    static HalvoShell* Instance(App::Bridge* bridge);
    // For the program entry.
    static Ref::Ptr<App::Shell> Make(App::Bridge* bridge);

    ~HalvoShell() override;

    bool OnInitiate(const std::vector<std::string>& arguments) override;
    void OnTerminate() override;
    void OnIdle() override;
    void OnActivate(bool nowActive) override;
    void OnResize(std::uint32_t width, std::uint32_t height) override;
    // Loads the file as "loadrom" does.
    void OnDropFile(const std::string& file) override;
    void OnDisplayChanged() override;
    void OnInputAge(double age) override;
    void OnKeyDown(std::uint32_t keyCode, char32_t character) override;
    void OnKeyUp(std::uint32_t keyCode, char32_t character) override;
    // While the console is closed, keys run their bindings; a key's release always ends the action its
    // press began.
    void OnKeyboardKey(std::uint32_t key, bool down) override;
    // The first two gamepads drive joypads 1 and 2 (beside the keyboard).
    void OnGamepadConnected(std::uint32_t slot, const std::string& name) override;
    void OnGamepadDisconnected(std::uint32_t slot, const std::string& name) override;
    void OnGamepadButton(std::uint32_t slot, App::GamepadButton button, bool down) override;
    void OnGamepadAxis(std::uint32_t slot, App::GamepadAxis axis, std::int32_t value) override;

    void GraphicsValidateVariables();
    bool GraphicsApplyState() override;
    bool GraphicsSetState(std::uint32_t driverIndex, std::uint32_t adapter, const Gfx::DisplayConfig& config);
    bool GraphicsGetState(std::uint32_t& driverIndex, std::uint32_t& adapter, Gfx::DisplayConfig& config);
    void GraphicsReleaseState();
    bool GraphicsRestoreState();

    bool NesLoadRomImage(const std::string& fileName);
    // A load the player asked for: on success the console closes and the game runs.
    bool LoadAndPlay(const std::string& fileName);
    // "loadrom" without a name: the desktop's file chooser, or else a list in the console, starting in
    // the folder of the last game.
    void ChooseRom();
    void NesUnloadRomImage();
    void NesReset(bool hard);

    // The game stops with its picture shown and its sound silent; loading, unloading and resetting a game
    // end a pause.
    void SetPaused(bool pause);
    // Up to 8 times the game's speed, without sound.
    void SetFastForward(bool on);
    // Between full screen and a window of the size the window had last.
    void ToggleFullScreen();
    // Writes the variables and bindings to config.cfg in the settings folder; false (and a report) when
    // it cannot.
    bool WriteConfig();
    // A key binding's action on a joypad button (one of Nes::Joypad's bits), held or let go.
    void HoldButton(std::uint32_t pad, std::uint8_t button, bool hold);

    // The graphics console functions' view of the platform.
    std::uint32_t GetDriverCount() override;
    Ref::Ptr<Gfx::Driver> GetDriver(std::uint32_t index) override;
    void Quit(std::int32_t exitCode) override { RequestQuit(exitCode); }

    void RequestQuit(std::int32_t exitCode);
    // The next presented frame goes to this PNG file; an empty name takes the first free
    // halvo-NNNN.png (in the pictures folder when started from the desktop). `raw` takes the game's
    // own 256 x 240 frame instead of the window's picture.
    void RequestScreenshot(const std::string& fileName, bool raw = false);
    // Set by the program when the desktop's menu entry started it.
    static inline bool startedFromDesktop = false;

    bool active = false;
    bool lost = false;
    Ref::Ptr<Console::System> console;
    Ref::Ptr<Console::InputContext> inputContext;
    Ref::Ptr<Gfx::Driver> driver;
    Ref::Ptr<Gfx::Font> font;
    Ref::Ptr<Gfx::ConsoleRenderer> consoleRenderer;
    Ref::Ptr<Gfx::NesCanvas> canvas;
    Gfx::ScreenRect displayRect;

    Gfx::EnumDrivers enumDrivers{this};
    Gfx::EnumAdapters enumAdapters{this};
    Gfx::EnumModes enumModes{this};
    Gfx::EnumFormats enumFormats;
    Gfx::ApplyState applyState{this};

    Console::Variable<unsigned int> driverIndexVariable{"g_driver", 0};
    Console::Variable<unsigned int> adapterVariable{"g_adapter", 0};
    Console::Variable<unsigned int> widthVariable{"g_width", 640};
    Console::Variable<unsigned int> heightVariable{"g_height", 480};
    Console::Variable<unsigned int> formatVariable{"g_format",
                                                   static_cast<unsigned int>(Gfx::PixelFormat::R5G6B5)};
    Console::Variable<bool> windowedVariable{"g_windowed", false};
    Console::Variable<bool> syncVariable{"g_syncvretrace", true};
    Console::Variable<bool> stretchVariable{"g_stretchdisplay", true};
    // The picture at a whole multiple of its size, so that every pixel is as wide as the next.
    Console::Variable<bool> integerScaleVariable{"g_integerscale", false};
    WindowPlaceVariable windowPlaceVariable;
    // A variable-refresh display: each frame is presented once, when it is due, and the display
    // refreshes with it.
    Console::Variable<bool> variableRefreshVariable{"g_vrr", false};

    bool loaded = false;
    Ref::Ptr<Nes::RomImageIOManager> romIOManager;
    Ref::Ptr<Nes::MmcManager> mmcManager;
    std::unique_ptr<Nes::RomImage> romImage;
    Ref::Ptr<Nes::Process> process;
    // The loaded cartridge's battery-backed RAM in its save file; null without a battery.
    std::unique_ptr<BatterySave> batterySave;

    Nes::LoadRomImage loadRomFunction{this};
    Nes::UnloadRomImage unloadRomFunction{this};
    Nes::Reset resetFunction{this};
    QuitFunction quitFunction{this};
    ScreenshotFunction screenshotFunction{this};
    StatsFunction statsFunction{this};

    // Sound: on or off, the volume in percent (0-100) and the wanted latency in milliseconds.
    Console::Variable<bool> soundVariable{"s_enabled", true};
    Console::Variable<unsigned int> volumeVariable{"s_volume", 100, 0, 100};
    Console::Variable<unsigned int> latencyVariable{"s_latency", 60, 20, 1000};
    SoundSettings soundSettings;
    TimingVariable timingVariable{[this] { return loaded; }};
    DiskSettings diskSettings{[this] { return loaded && process ? DiskDrive(*process) : nullptr; }};
    // Fast forward as the player holds it, and while the disk drive loads (fds_fastload).
    bool heldFastForward = false;
    bool diskLoading = false;
    // Null while sound is off or no device could be opened.
    std::unique_ptr<Sound::AudioOutput> audio;

    Bindings bindings;
    bool paused = false;
    bool fastForward = false;

    BindFunction bindFunction{this};
    UnbindFunction unbindFunction{this};
    ShellAction unbindAllFunction{"unbindall", "Drops every key binding.", [this] { bindings.UnbindAll(); }};
    WriteConfigFunction writeConfigFunction{this};
    ShellAction pauseFunction{"pause", "Pauses the game, or goes on with it.",
                              [this] { SetPaused(!paused); }};
    ShellAction fastForwardOn{"+fastforward", "Runs the game fast, without sound, until -fastforward.",
                              [this] { SetFastForward(true); }};
    ShellAction fastForwardOff{"-fastforward", "Ends +fastforward.", [this] { SetFastForward(false); }};
    ShellAction fullScreenFunction{"g_togglefullscreen", "Switches between full screen and a window.",
                                   [this] { ToggleFullScreen(); }};
    // "+p1_a" ... "-p2_right": the joypad buttons as actions.
    std::vector<std::unique_ptr<ShellAction>> joypadActions;

    // Emulated frames follow the console's rate, whatever the display does.
    App::FramePacer pacer;
    // Where a frame is shown at every refresh, the keys are read as late before it as its work allows.
    App::FrameDelay frameDelay;
    double lastPresentEnd = 0;
    PlayStats stats;
    // With HALVO_LATENCY_LOG set, every key press is timed to the picture that shows it, in the log.
    App::LatencyLog latencyLog;
    bool latencyLogging = false;
    // The "stats" line.
    std::string StatsLine() const;

    // Save states of the running game.
    Nes::Process* StateMachine() override;
    std::string StateImageFile() override { return romFile; }
    void OnStateLoaded() override;
    // The image file the running game was loaded from.
    std::string romFile;
    StateFunctions stateFunctions{*this, {}};
    Rewind rewind;
    // Input movies and the frame and lag counters; a state saved during a movie carries its position.
    Nes::Process* MovieMachine() override { return loaded ? process.Get() : nullptr; }
    std::string MovieRomFile() override { return romFile; }
    bool MoviePowerOn() override;
    std::string StateTrailer() override { return movies.StateTrailer(); }
    bool CheckStateTrailer(const std::string& trailer, std::string& error) override {
        return movies.CheckStateTrailer(trailer, error);
    }
    void OnStateTrailer(const std::string& trailer) override { movies.OnStateTrailer(trailer); }
    MovieFunctions movies{*this, {}};
    // "frame_advance": paused, the game runs one frame at the next turn of the loop; running, it pauses.
    void FrameAdvance();
    bool frameAdvancePending = false;
    ShellAction frameAdvanceFunction{"frame_advance",
                                     "Runs one frame of the paused game and shows it (pauses a running one).",
                                     [this] { FrameAdvance(); }};
    // The tracks of an NSF music file; a new track's sound starts from silence, as after a reset.
    NsfPlayer nsfPlayer{[this] { return loaded ? process.Get() : nullptr; },
                        [this] {
                            if (audio) {
                                audio->Silence();
                            }
                            pacer.Stop();
                        }};
    RunAhead runAhead;
    OnScreenMessages messages;
    PictureSettings picture;
    RecentGames recentGames{BatterySave::DefaultFolder().parent_path() / "recent",
                            [this](const std::string& game) { return LoadAndPlay(game); }};
    RomChooser romChooser{[this](const std::string& file) { return LoadAndPlay(file); }};

    // The debugger: a stop opens the console, "continue" closes it.
    Nes::Process* DebugMachine() override { return loaded ? process.Get() : nullptr; }
    std::string DebugMachineFile() override { return loaded ? romFile : std::string(); }
    void OnDebugStop() override;
    void OnDebugContinue() override;
    // Labels of the cartridge's own build, when they lie beside it.
    void LoadSymbolsBeside(const std::string& romFileName);
    DebugFunctions debugFunctions{*this, console->Output()};
    Viewers viewers{[this] { return driver.Get(); }, [this] { return loaded ? process.Get() : nullptr; },
                    debugFunctions.debugger};
    // "record_video", "record_wav", "record_stop": the machine draws through it while a video is made.
    Recording recording{[this] { return loaded ? process.Get() : nullptr; },
                        [this] {
                            canvas = recording.Wrap(canvas);
                            if (loaded) {
                                process->GetPpu().SetCanvas(canvas);
                            }
                        }};

private:
    explicit HalvoShell(App::Bridge* bridge);
    template <class T, class... Args>
    friend T* Ref::New(Args&&... args);

    std::vector<Console::Function*> ConsoleFunctions();
    void UpdateTitle();
    void CloseConsole();
    // A new canvas or a loaded state while the game stands still (paused, or in the console): the
    // picture of the moment it stands at, at once.
    void ShowStandingPicture();

    // Where the picture goes in the back buffer as now set, for the variables now.
    void PlacePicture();
    std::uint32_t backBufferWidth = 0;
    std::uint32_t backBufferHeight = 0;
    bool placedAtIntegerScale = false;
    // A canvas for the picture settings, the picture `width` pixels wide on screen.
    Ref::Ptr<Gfx::NesCanvas> MakeCanvas(std::uint32_t width);
    // After a change of the picture settings: a new canvas for them, handed to the running game.
    void ApplyPicture();
    void TakeScreenshot();
    // Runs the frames the clock says are due, with their sound; gives how many ran.
    std::uint32_t RunDueFrames();
    // One frame forwards, with the movie's input and the counters around it; the picture is made when
    // `render`.
    void RunMovieFrame(bool render, double frameRate);
    // Tells the frame pacer about the display now in use.
    void UpdatePacing();
    bool pacedForVariableRefresh = false;
    // Opens, configures or silences the sound output as the s_ variables and the game's state say.
    void UpdateSound(bool running);

    bool audioTried = false;

    // Key holds of each joypad button: two keys bound to one button hold it until both are let go.
    std::uint8_t keyHolds[Nes::ButtonState::Pads][8] = {};
    struct GamepadInput {
        std::uint8_t buttons = 0;
        std::uint8_t stick = 0;
    };
    GamepadInput gamepads[Nes::ButtonState::Pads];
    // Hands what the keys and gamepads hold to the running machine's joypads.
    void FeedButtons();
    // The window's size before it went full screen, for the way back.
    std::uint32_t windowedWidth = 0;
    std::uint32_t windowedHeight = 0;

    std::string screenshotFile;
    bool screenshotPending = false;
    bool screenshotRaw = false;
};

} // namespace Halvo
