#pragma once

#include <cstddef>
#include <vector>

#include "console/Function.h"
#include "console/Variable.h"
#include "nes/state/RewindBuffer.h"

namespace Halvo {

namespace Nes {
class Process;
}

// Running the game backwards: while "+rewind" holds (until "-rewind"), each frame shown is the one
// recorded before it, back to "rewind_seconds" of play (0 turns recording off); the game goes on from
// there when it is released. The past takes at most 64 MB per 30 seconds.
class Rewind {
public:
    static constexpr std::size_t BytesPer30Seconds = 64u * 1024 * 1024;
    // Beyond an hour the memory bound decides anyway.
    static constexpr unsigned int MaxSeconds = 3600;

    // The console entries: "+rewind", "-rewind" and "rewind_seconds".
    std::vector<Console::Function*> Functions() { return {&press, &release, &seconds}; }

    // One frame of play at `framesPerSecond`: a step back while held, or a frame forwards, recorded.
    // The sound of a frame run backwards is dropped.
    void RunFrame(Nes::Process& process, bool render, double framesPerSecond);
    // Whether frames now run backwards.
    bool Rewinding() const { return held && seconds.value > 0; }
    // A new cartridge: its past starts now.
    void Forget() { buffer.Clear(); }

    bool held = false;
    Console::Variable<unsigned int> seconds{"rewind_seconds", 30, 0, MaxSeconds};
    std::size_t bytesPer30Seconds = BytesPer30Seconds;
    Nes::RewindBuffer buffer;

private:
    class Key : public Console::Function {
    public:
        Key(const char* name, bool& held, bool down) : Function(name), held(held), down(down) {}
        bool Execute(std::istream&, std::ostream&) override {
            held = down;
            return true;
        }
        void PrintUsage(std::ostream& out) override;

    private:
        bool& held;
        bool down;
    };

    Key press{"+rewind", held, true};
    Key release{"-rewind", held, false};
};

} // namespace Halvo
