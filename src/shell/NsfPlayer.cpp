#include "shell/NsfPlayer.h"

#include <algorithm>
#include <string>

#include "console/ReadToken.h"
#include "console/System.h"
#include "nes/Joypad.h"
#include "nes/rom/RomImage.h"

namespace Halvo {

NsfPlayer::NsfPlayer(std::function<Nes::Process*()> machine, std::function<void()> trackChanged)
    : machine(std::move(machine)), trackChanged(std::move(trackChanged)) {}

Nes::Nsf* NsfPlayer::Board(Nes::Process* process) {
    if (!process || !process->romImage->nsf) {
        return nullptr;
    }
    return static_cast<Nes::Nsf*>(&process->GetMmc());
}

void NsfPlayer::Describe(const Nes::Nsf& board, std::ostream& out) {
    const Nes::NsfInfo& info = board.Info();
    const auto line = [&out](const char* label, const std::string& text) {
        if (!text.empty() && text != "<?>") {
            out << label << text << std::endl;
        }
    };
    line("Title: ", info.title);
    line("Artist: ", info.artist);
    line("Copyright: ", info.copyright);
    DescribeTrack(board, out);
}

void NsfPlayer::DescribeTrack(const Nes::Nsf& board, std::ostream& out) {
    const std::string title = board.Info().TrackTitle(board.Track());
    out << "Track " << board.Track() << " of " << board.Info().songCount << (title.empty() ? "" : ": ")
        << title << std::endl;
}

bool NsfPlayer::Play(std::uint32_t number, std::ostream& out) {
    Nes::Process* process = machine();
    Nes::Nsf* board = Board(process);
    if (!board) {
        out << "No NSF file is playing." << std::endl;
        return false;
    }
    if (number < 1 || number > board->Info().songCount) {
        out << "The file has tracks 1 to " << board->Info().songCount << "." << std::endl;
        return false;
    }
    board->SelectTrack(number);
    process->Reset(true);
    DescribeTrack(*board, out);
    trackChanged();
    return true;
}

bool NsfPlayer::Step(int step, std::ostream& out) {
    const Nes::Nsf* board = Board(machine());
    if (!board) {
        out << "No NSF file is playing." << std::endl;
        return false;
    }
    const auto count = static_cast<int>(board->Info().songCount);
    const int next = (static_cast<int>(board->Track()) - 1 + step + count) % count + 1;
    return Play(static_cast<std::uint32_t>(next), out);
}

void NsfPlayer::AfterFrame(Nes::Process& process, std::vector<float>& samples, std::ostream& out) {
    Nes::Nsf* board = Board(&process);
    if (!board) {
        return;
    }
    // The fade, from the gain at the frame's start to that at its end.
    const double frameMs =
        board->PlayedMs() / static_cast<double>(std::max<std::uint64_t>(board->FramesPlayed(), 1));
    const double endGain = board->FadeGain(board->PlayedMs());
    const double startGain = board->FadeGain(board->PlayedMs() - frameMs);
    if ((startGain < 1.0 || endGain < 1.0) && !samples.empty()) {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double at = static_cast<double>(i) / static_cast<double>(samples.size());
            samples[i] = static_cast<float>(samples[i] * (startGain + (endGain - startGain) * at));
        }
    }
    const std::uint8_t held = process.Buttons().Held(0, Nes::ButtonState::Keys) |
                              process.Buttons().Held(0, Nes::ButtonState::Gamepad);
    const std::uint8_t pressed = held & ~padHeld;
    padHeld = held;
    if (pressed & Nes::Joypad::ButtonRight) {
        Step(1, out);
    } else if (pressed & Nes::Joypad::ButtonLeft) {
        Step(-1, out);
    } else if (board->TrackOver()) {
        Step(1, out);
    }
}

std::vector<Console::Function*> NsfPlayer::Functions() {
    return {&trackFunction, &nextFunction, &previousFunction};
}

bool NsfPlayer::TrackFunction::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    Console::ReadToken(arguments, word);
    std::uint32_t number = 0;
    bool digits = !word.empty() && word.size() <= 3;
    for (const char c : word) {
        digits &= c >= '0' && c <= '9';
    }
    if (!digits) {
        PrintUsage(out);
        return false;
    }
    number = static_cast<std::uint32_t>(std::stoul(word));
    // A number out of range is said in one line: the usage would say no more.
    player.Play(number, out);
    return true;
}

void NsfPlayer::TrackFunction::PrintUsage(std::ostream& out) {
    out << "nsf_track N: plays track N (from 1) of the NSF file." << std::endl;
}

bool NsfPlayer::StepFunction::Execute(std::istream&, std::ostream& out) {
    player.Step(step, out);
    return true;
}

void NsfPlayer::StepFunction::PrintUsage(std::ostream& out) {
    out << name << ": plays the " << (step > 0 ? "next" : "previous") << " track of the NSF file."
        << std::endl;
}

} // namespace Halvo
