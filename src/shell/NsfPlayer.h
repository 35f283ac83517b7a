#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "console/Function.h"
#include "nes/Process.h"
#include "nes/mmc/Nsf.h"

namespace Halvo {

// Playing an NSF music file: its tracks, chosen by command ("nsf_track N", "nsf_next",
// "nsf_previous") or by the joypad's Right and Left, each played for its length and faded out, then
// the next one. The machine does the playing; this follows its clock from frame to frame.
class NsfPlayer {
public:
    // `machine` gives the running machine (null without one); `trackChanged` runs after a new track
    // began, so the owner can restart its sound.
    NsfPlayer(std::function<Nes::Process*()> machine, std::function<void()> trackChanged);
    NsfPlayer(const NsfPlayer&) = delete;
    NsfPlayer& operator=(const NsfPlayer&) = delete;

    // The machine's NSF board, or null when it runs a game.
    static Nes::Nsf* Board(Nes::Process* process);
    // The file's title, artist and copyright, then the track, as console lines.
    static void Describe(const Nes::Nsf& board, std::ostream& out);
    static void DescribeTrack(const Nes::Nsf& board, std::ostream& out);
    // Starts track `number` (from 1); false with a message when there is no such track.
    bool Play(std::uint32_t number, std::ostream& out);

    // After each frame the machine ran: the frame's samples fade with the track's end, the joypad's
    // Right and Left change the track, and a track that is over gives way to the next (the last to
    // the first).
    void AfterFrame(Nes::Process& process, std::vector<float>& samples, std::ostream& out);

    std::vector<Console::Function*> Functions();

private:
    class TrackFunction : public Console::Function {
    public:
        explicit TrackFunction(NsfPlayer& player) : Function("nsf_track"), player(player) {}
        bool Execute(std::istream& arguments, std::ostream& out) override;
        void PrintUsage(std::ostream& out) override;

    private:
        NsfPlayer& player;
    };
    class StepFunction : public Console::Function {
    public:
        StepFunction(NsfPlayer& player, std::string name, int step)
            : Function(std::move(name)), player(player), step(step) {}
        bool Execute(std::istream& arguments, std::ostream& out) override;
        void PrintUsage(std::ostream& out) override;

    private:
        NsfPlayer& player;
        int step;
    };

    bool Step(int step, std::ostream& out);

    std::function<Nes::Process*()> machine;
    std::function<void()> trackChanged;
    std::uint8_t padHeld = 0;
    TrackFunction trackFunction{*this};
    StepFunction nextFunction{*this, "nsf_next", 1};
    StepFunction previousFunction{*this, "nsf_previous", -1};
};

} // namespace Halvo
