#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "console/Function.h"
#include "console/Variable.h"
#include "shell/Movie.h"

namespace Halvo {

namespace Nes {
class Process;
}

// What the movie commands need of the program that runs the machine.
class MovieHost {
public:
    virtual ~MovieHost() = default;
    // The running machine, or null when no cartridge is loaded.
    virtual Nes::Process* MovieMachine() = 0;
    // The image file it was loaded from.
    virtual std::string MovieRomFile() = 0;
    // Builds the game's machine afresh, as the console is at power-on; false (reported) when it cannot.
    virtual bool MoviePowerOn() = 0;
};

// Input movies of the running game and the frame and lag counters.
//
// "movie_record [file] [state]" records from power-on (the game's machine built afresh), or with "state"
// from the moment it is at, that state held in the movie; "movie_play [file]" plays a movie (Halvo's or an
// FCEUX .fm2) from its start; "movie_stop" ends either, a recording written to its file. A file name
// without "/" is in $XDG_DATA_HOME/halvo/movies; none names <game>.hmv there. While a movie plays, the
// players' buttons are not the game's; when it ends they are again.
//
// "movie_readonly" (1, the default): a state loaded during a movie goes on playing it from the state's
// frame. At 0, a state loaded cuts the movie at its frame and records from there, and switching it to 0
// while a movie plays records over the rest of it from the frame reached.
//
// The counters: every frame run forwards counts, and a frame in which the game never read $4016 or
// $4017 is a lag frame (the game missed the input of that frame). "show_counters" 1 shows "frame N, lag
// L" and the buttons the pads held in the last frame over the picture.
class MovieFunctions {
public:
    enum class Mode { Off, Recording, Playing };

    // $XDG_DATA_HOME/halvo/movies (~/.local/share/halvo/movies without the variable).
    static std::filesystem::path DefaultFolder();

    // Movie files in `folder`; an empty one stands for DefaultFolder() as it is when a movie is named.
    MovieFunctions(MovieHost& host, std::filesystem::path folder);

    std::vector<Console::Function*> Functions() { return {&record, &play, &stop, &readOnly, &showCounters}; }

    bool Record(const std::string& target, bool fromState);
    bool Play(const std::string& target);
    // Ends a movie; a recording is written to its file first. False when that write failed.
    bool Stop();

    // Around each frame that the machine runs forwards: the movie's input is set before it, the
    // counters count after it.
    void BeforeFrame(Nes::Process& process);
    void AfterFrame(Nes::Process& process);
    // A reset by the player: recorded before the next frame while recording; refused (false, said)
    // while a movie plays.
    bool OnReset(bool hard);
    // A new game (or none): the counters start again, a movie ends (a recording written).
    void OnGameChanged();

    // What a state saved now carries after the machine's state: the movie up to the frame reached, with
    // the lag count; empty when no movie runs.
    std::string StateTrailer() const;
    // Whether a state with this trailer may be loaded now; false with the reason. A state saved during no
    // movie may not be loaded into one, nor (read-only) one from another movie or beyond this one's end.
    bool CheckStateTrailer(const std::string& trailer, std::string& error) const;
    // After such a state was loaded: the movie goes on from the state's frame (read-only), or is cut there
    // and recorded on.
    void OnStateTrailer(const std::string& trailer);

    bool Active() const { return mode != Mode::Off; }
    // "Recording, frame N" or "Playing, frame N of M" (empty without a movie), and the counters' line
    // (empty unless shown).
    std::string StatusText() const;
    std::string CounterText() const;

    Mode mode = Mode::Off;
    Movie movie;
    std::filesystem::path path;
    // The frame of the movie the next frame run is.
    std::uint32_t position = 0;
    std::uint64_t frameCount = 0;
    std::uint64_t lagCount = 0;
    MovieFrame lastInput;

    Console::Variable<bool> readOnly{"movie_readonly", true};
    Console::Variable<bool> showCounters{"show_counters", false};

private:
    class Command : public Console::Function {
    public:
        enum Kind { RecordMovie, PlayMovie, StopMovie };
        Command(std::string name, MovieFunctions& owner, Kind kind)
            : Function(std::move(name)), owner(owner), kind(kind) {}
        bool Execute(std::istream& arguments, std::ostream& out) override;
        void PrintUsage(std::ostream& out) override;

    private:
        MovieFunctions& owner;
        Kind kind;
    };

    std::filesystem::path Target(const std::string& target) const;
    bool Write();

    MovieHost& host;
    std::filesystem::path folder;
    // Resets the player pressed since the last frame, for the next recorded frame.
    std::uint8_t pendingCommands = 0;
    Command record{"movie_record", *this, Command::RecordMovie};
    Command play{"movie_play", *this, Command::PlayMovie};
    Command stop{"movie_stop", *this, Command::StopMovie};
};

} // namespace Halvo
