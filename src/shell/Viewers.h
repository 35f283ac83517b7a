#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "console/Function.h"
#include "console/Variable.h"
#include "gfx/DebugPictures.h"
#include "gfx/PictureWindow.h"

namespace Halvo {

namespace Gfx {
class Driver;
}
namespace Nes {
class Debugger;
class Process;
} // namespace Nes

// The debugger's viewers, each in a window of its own beside the game's: "viewer NAME [on|off]" for
// the pattern tables (in the palette "viewer_palette" names, 0-7), the name tables with the scroll
// window, the sprites, the palette and RAM (changed bytes red); "viewer NAME shot FILE" writes what a
// viewer shows of the machine now as a PNG file, whether its window is open or not. The event view
// ("events") shows where on the screen the last frame's register writes and interrupts happened. They follow
// the machine every turn of the main loop, while the game runs and while it is stopped.
class Viewers {
public:
    enum Kind : std::uint32_t { Patterns, NameTables, Sprites, Palette, Memory, Events, KindCount };

    // `driver` gives the graphics driver that makes windows (null: none yet), `machine` the running
    // machine (null: none), `debugger` the debugger that records the event view's events.
    Viewers(std::function<Gfx::Driver*()> driver, std::function<Nes::Process*()> machine,
            Nes::Debugger& debugger)
        : driver(std::move(driver)), machine(std::move(machine)), debugger(debugger) {}

    std::vector<Console::Function*> Functions() { return {&command, &palette}; }
    bool AnyOpen() const;
    void CloseAll() {
        for (View& view : views) {
            view.window = nullptr;
        }
    }
    // Draws every open viewer from the machine (null: no game, the windows keep their last picture).
    void Update(const Nes::Process* process);
    // Draws one viewer's picture from the machine.
    void Draw(Kind kind, const Nes::Process& process, Gfx::DebugPicture& out);

    Console::Variable<unsigned int> palette{"viewer_palette", 0, 0, 7};

private:
    class Command : public Console::Function {
    public:
        explicit Command(Viewers& owner) : Function("viewer"), owner(owner) {}
        bool Execute(std::istream& arguments, std::ostream& out) override;
        void PrintUsage(std::ostream& out) override;

    private:
        Viewers& owner;
    };

    struct View {
        Ref::Ptr<Gfx::PictureWindow> window;
        Gfx::DebugPicture picture;
    };

    std::function<Gfx::Driver*()> driver;
    std::function<Nes::Process*()> machine;
    Nes::Debugger& debugger;
    std::array<View, KindCount> views;
    std::vector<std::uint8_t> lastRam;
    const Nes::Process* lastProcess = nullptr;
    Command command{*this};
};

} // namespace Halvo
