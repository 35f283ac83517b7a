#include "shell/Viewers.h"

#include "console/ReadToken.h"
#include "gfx/Driver.h"
#include "gfx/PngFile.h"
#include "nes/Process.h"
#include "nes/debug/Debugger.h"

namespace Halvo {

namespace {

struct ViewerName {
    const char* name;
    const char* title;
    std::uint32_t width;
    std::uint32_t height;
};

constexpr ViewerName Names[Viewers::KindCount] = {
    {"patterns", "Halvo: pattern tables", 256, 128},
    {"nametables", "Halvo: name tables", 512, 480},
    {"sprites", "Halvo: sprites", 128, 192},
    {"palette", "Halvo: palette", 256, 32},
    {"memory", "Halvo: RAM", 192, 384},
    {"events", "Halvo: events", 341, 262},
};

} // namespace

bool Viewers::AnyOpen() const {
    for (const View& view : views) {
        if (view.window) {
            return true;
        }
    }
    return false;
}

void Viewers::Draw(Kind kind, const Nes::Process& process, Gfx::DebugPicture& out) {
    const Nes::Ppu& ppu = process.GetPpu();
    switch (kind) {
    case Patterns:
        Gfx::DrawPatternTables(ppu, palette.value, out);
        break;
    case NameTables:
        Gfx::DrawNameTables(ppu, out);
        break;
    case Sprites:
        Gfx::DrawSprites(ppu, out);
        break;
    case Palette:
        Gfx::DrawPalette(ppu, out);
        break;
    case Memory: {
        if (lastProcess != &process) {
            lastRam.clear();
            lastProcess = &process;
        }
        Nes::Process& machine = const_cast<Nes::Process&>(process);
        Gfx::DrawMemory(machine.Ram().data(), machine.Ram().size(), lastRam, out);
        break;
    }
    case Events: {
        // PPU writes red, sound writes green, board writes yellow, the NMI white, the IRQ cyan.
        static constexpr std::uint32_t Colours[] = {0xFF3030, 0x30FF30, 0xFFFF30, 0xFFFFFF, 0x30FFFF};
        std::vector<Gfx::EventMark> marks;
        for (const Nes::Debugger::FrameEvent& event : debugger.LastFrameEvents()) {
            marks.push_back({event.line, event.dot, Colours[event.kind]});
        }
        Gfx::DrawEvents(ppu, marks, out);
        break;
    }
    case KindCount:
        break;
    }
}

void Viewers::Update(const Nes::Process* process) {
    for (std::uint32_t kind = 0; kind < KindCount; ++kind) {
        View& view = views[kind];
        if (!view.window) {
            continue;
        }
        if (view.window->Closed()) {
            view.window = nullptr;
            continue;
        }
        if (process) {
            Draw(static_cast<Kind>(kind), *process, view.picture);
            view.window->Show(view.picture);
        }
    }
}

bool Viewers::Command::Execute(std::istream& arguments, std::ostream& out) {
    std::string name, action;
    if (!(arguments >> name)) {
        for (std::uint32_t kind = 0; kind < KindCount; ++kind) {
            out << Names[kind].name << (owner.views[kind].window ? " on" : " off") << std::endl;
        }
        return true;
    }
    std::uint32_t kind = 0;
    while (kind < KindCount && name != Names[kind].name) {
        ++kind;
    }
    if (kind == KindCount) {
        return false;
    }
    View& view = owner.views[kind];
    if (!(arguments >> action)) {
        action = view.window ? "off" : "on";
    }
    if (action == "off") {
        view.window = nullptr;
        if (kind == Events) {
            owner.debugger.RecordEvents(false);
        }
        return true;
    }
    if (action == "on") {
        if (!view.window) {
            Gfx::Driver* graphics = owner.driver();
            view.window = graphics ? graphics->CreatePictureWindow(Names[kind].title, Names[kind].width,
                                                                   Names[kind].height)
                                   : nullptr;
            if (!view.window) {
                out << "No window could be opened for the viewer." << std::endl;
            }
        }
        if (kind == Events) {
            owner.debugger.RecordEvents(true);
        }
        return true;
    }
    if (action == "record" && kind == Events) {
        // The events without a window, for a screenshot of the next frame.
        owner.debugger.RecordEvents(true);
        return true;
    }
    if (action == "shot") {
        std::string file;
        std::vector<std::uint8_t> rgb;
        std::uint32_t width = 0, height = 0;
        if (Console::ReadToken(arguments, file) == Console::NoToken) {
            return false;
        }
        const Nes::Process* process = owner.machine();
        if (!process) {
            out << "No game is loaded." << std::endl;
            return true;
        }
        Gfx::DebugPicture picture;
        owner.Draw(static_cast<Kind>(kind), *process, picture);
        width = picture.width;
        height = picture.height;
        for (const std::uint32_t pixel : picture.pixels) {
            rgb.push_back(static_cast<std::uint8_t>(pixel >> 16));
            rgb.push_back(static_cast<std::uint8_t>(pixel >> 8));
            rgb.push_back(static_cast<std::uint8_t>(pixel));
        }
        if (!Gfx::WritePng(file, width, height, rgb)) {
            out << "Could not write " << file << "." << std::endl;
        } else {
            out << file << ": " << width << " x " << height << "." << std::endl;
        }
        return true;
    }
    return false;
}

void Viewers::Command::PrintUsage(std::ostream& out) {
    out << "Opens or closes a viewer in a window of its own: the pattern tables (in the palette "
           "viewer_palette\n"
           "names), the name tables, the sprites, the palette, RAM or the last frame's events; or writes "
           "what it\n"
           "shows as PNG (\"viewer events record\" records the events without a window).\n"
           "usage: viewer [patterns|nametables|sprites|palette|memory|events [on|off|shot FILE]]"
        << std::endl;
}

} // namespace Halvo
