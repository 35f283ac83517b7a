#include "shell/MovieFunctions.h"

#include <algorithm>
#include <charconv>

#include "console/ReadToken.h"
#include "console/System.h"
#include "nes/ButtonState.h"
#include "nes/Process.h"
#include "nes/state/SaveState.h"
#include "shell/BatterySave.h"

namespace Halvo {

namespace {

std::ostream& Say() {
    return Console::System::Instance()->Output();
}

// The trailer of a state saved during a movie: "lag N", then the movie up to the state's frame.
constexpr std::string_view LagKey = "lag ";

bool SplitTrailer(const std::string& trailer, std::uint64_t& lag, Movie& movie, std::string& error) {
    const std::size_t end = trailer.find('\n');
    if (trailer.compare(0, LagKey.size(), LagKey) != 0 || end == std::string::npos) {
        error = "its movie part is damaged";
        return false;
    }
    const auto [at, problem] = std::from_chars(trailer.data() + LagKey.size(), trailer.data() + end, lag);
    if (problem != std::errc() || at != trailer.data() + end ||
        !Movie::Parse(trailer.substr(end + 1), movie, error)) {
        error = "its movie part is damaged";
        return false;
    }
    return true;
}

} // namespace

std::filesystem::path MovieFunctions::DefaultFolder() {
    return BatterySave::DefaultFolder().parent_path() / "movies";
}

MovieFunctions::MovieFunctions(MovieHost& host, std::filesystem::path folder)
    : host(host), folder(std::move(folder)) {}

std::filesystem::path MovieFunctions::Target(const std::string& target) const {
    const std::filesystem::path base = folder.empty() ? DefaultFolder() : folder;
    if (target.empty()) {
        return base / (std::filesystem::path(host.MovieRomFile()).stem().string() + ".hmv");
    }
    if (target.find('/') != std::string::npos) {
        return target;
    }
    return base / target;
}

bool MovieFunctions::Write() {
    std::string error;
    if (!WriteMovieFile(path, movie, error)) {
        Console::ReportError("Halvo::MovieFunctions::Write", __LINE__)
            << "Could not write the movie " << path.string() << ": " << error << "." << std::endl;
        return false;
    }
    return true;
}

bool MovieFunctions::Record(const std::string& target, bool fromState) {
    const char* operation = "Halvo::MovieFunctions::Record";
    if (!host.MovieMachine()) {
        Console::ReportError(operation, __LINE__)
            << "No game is running: load a cartridge first." << std::endl;
        return false;
    }
    const std::filesystem::path file = Target(target);
    // A file that is there and no movie of Halvo's is someone else's: it is left alone.
    std::error_code ignored;
    if (std::filesystem::exists(file, ignored)) {
        Movie existing;
        std::string error;
        if (!ReadMovieFile(file, existing, error) || !existing.romKnown) {
            Console::ReportError(operation, __LINE__)
                << "Will not record over " << file.string() << ": " << error
                << (error.empty() ? "it is not a Halvo movie" : "") << "; choose another name." << std::endl;
            return false;
        }
    }
    if (!Stop()) {
        return false;
    }
    if (!fromState && !host.MoviePowerOn()) {
        return false;
    }
    Nes::Process& process = *host.MovieMachine();
    movie = Movie::For(process, host.MovieRomFile());
    if (fromState) {
        movie.startState = Nes::SaveState::Write(process);
    }
    path = file;
    if (!Write()) {
        return false;
    }
    mode = Mode::Recording;
    position = 0;
    frameCount = 0;
    lagCount = 0;
    pendingCommands = 0;
    Say() << "Recording the movie " << path.string() << (fromState ? " from this moment." : " from power-on.")
          << std::endl;
    return true;
}

bool MovieFunctions::Play(const std::string& target) {
    const char* operation = "Halvo::MovieFunctions::Play";
    if (!host.MovieMachine()) {
        Console::ReportError(operation, __LINE__)
            << "No game is running: load a cartridge first." << std::endl;
        return false;
    }
    const std::filesystem::path file = Target(target);
    Movie read;
    std::string error;
    if (!ReadMovieFile(file, read, error)) {
        Console::ReportError(operation, __LINE__)
            << "Could not play the movie " << file.string() << ": " << error << "." << std::endl;
        return false;
    }
    if (const std::string mismatch = read.Mismatch(*host.MovieMachine()); !mismatch.empty()) {
        Console::ReportError(operation, __LINE__)
            << "Could not play the movie " << file.string() << ": " << mismatch << "." << std::endl;
        return false;
    }
    if (!Stop()) {
        return false;
    }
    if (read.startState.empty()) {
        if (!host.MoviePowerOn()) {
            return false;
        }
    } else if (!Nes::SaveState::Load(*host.MovieMachine(), read.startState.data(), read.startState.size(),
                                     error)) {
        Console::ReportError(operation, __LINE__)
            << "Could not play the movie " << file.string() << ": its state does not load (" << error << ")."
            << std::endl;
        return false;
    }
    movie = std::move(read);
    path = file;
    mode = Mode::Playing;
    position = 0;
    frameCount = 0;
    lagCount = 0;
    if (!movie.romKnown) {
        Say() << "The movie names its game by a checksum Halvo cannot check: it plays on this one."
              << std::endl;
    }
    Say() << "Playing the movie " << path.string() << " (" << movie.frames.size() << " frames)." << std::endl;
    return true;
}

bool MovieFunctions::Stop() {
    if (mode == Mode::Off) {
        return true;
    }
    const Mode was = mode;
    mode = Mode::Off;
    if (was == Mode::Recording) {
        if (!Write()) {
            return false;
        }
        Say() << "Movie " << path.string() << " recorded: " << movie.frames.size() << " frames." << std::endl;
    } else {
        Say() << "Movie stopped at frame " << position << " of " << movie.frames.size() << "." << std::endl;
    }
    return true;
}

void MovieFunctions::BeforeFrame(Nes::Process& process) {
    process.Buttons().TakePolls();
    if (mode == Mode::Playing && !readOnly.value) {
        // Read-write: the rest of the movie is recorded anew from here.
        movie.frames.resize(position);
        ++movie.rerecords;
        mode = Mode::Recording;
        pendingCommands = 0;
        Say() << "Recording over the movie from frame " << position << "." << std::endl;
    }
    if (mode == Mode::Playing) {
        if (position >= movie.frames.size()) {
            mode = Mode::Off;
            Say() << "Movie finished: " << movie.frames.size() << " frames." << std::endl;
        } else {
            lastInput = movie.frames[position++];
            ApplyMovieFrame(process, lastInput);
            return;
        }
    }
    lastInput = HeldFrame(process.Buttons());
    if (mode == Mode::Recording) {
        // The frame runs with exactly what is recorded, as it will when played.
        ApplyMovieFrame(process, lastInput);
        lastInput.commands = pendingCommands;
        pendingCommands = 0;
        movie.frames.push_back(lastInput);
        ++position;
    }
}

void MovieFunctions::AfterFrame(Nes::Process& process) {
    ++frameCount;
    if (process.Buttons().TakePolls() == 0) {
        ++lagCount;
    }
}

bool MovieFunctions::OnReset(bool hard) {
    if (mode == Mode::Playing) {
        Say() << "A movie plays: its resets are its own (movie_stop ends it)." << std::endl;
        return false;
    }
    if (mode == Mode::Recording) {
        pendingCommands = hard ? MovieFrame::HardReset : MovieFrame::SoftReset;
    }
    return true;
}

void MovieFunctions::OnGameChanged() {
    Stop();
    frameCount = 0;
    lagCount = 0;
    lastInput = MovieFrame();
}

std::string MovieFunctions::StateTrailer() const {
    if (mode == Mode::Off) {
        return {};
    }
    Movie taken = movie;
    taken.frames.resize(position);
    return std::string(LagKey) + std::to_string(lagCount) + "\n" + taken.Text();
}

bool MovieFunctions::CheckStateTrailer(const std::string& trailer, std::string& error) const {
    if (mode == Mode::Off) {
        return true;
    }
    if (trailer.empty()) {
        error = "it was saved during no movie (movie_stop ends this one)";
        return false;
    }
    Movie taken;
    std::uint64_t lag = 0;
    if (!SplitTrailer(trailer, lag, taken, error)) {
        return false;
    }
    if (taken.startState != movie.startState || taken.prgCrc != movie.prgCrc ||
        taken.chrCrc != movie.chrCrc) {
        error = "it was saved during another movie";
        return false;
    }
    if (readOnly.value) {
        if (taken.frames.size() > movie.frames.size() && mode == Mode::Playing) {
            error = "it was saved after the end of this movie";
            return false;
        }
        if (!std::equal(taken.frames.begin(), taken.frames.end(), movie.frames.begin(),
                        movie.frames.begin() + std::min(taken.frames.size(), movie.frames.size())) ||
            taken.frames.size() > movie.frames.size()) {
            error =
                "it was saved during another take of this movie (set movie_readonly 0 to record on from it)";
            return false;
        }
    }
    return true;
}

void MovieFunctions::OnStateTrailer(const std::string& trailer) {
    Movie taken;
    std::uint64_t lag = 0;
    std::string error;
    if (mode == Mode::Off || !SplitTrailer(trailer, lag, taken, error)) {
        return;
    }
    position = static_cast<std::uint32_t>(taken.frames.size());
    frameCount = position;
    lagCount = lag;
    if (readOnly.value) {
        mode = Mode::Playing;
        Say() << "The movie plays on from frame " << position << "." << std::endl;
    } else {
        movie.frames = std::move(taken.frames);
        ++movie.rerecords;
        mode = Mode::Recording;
        pendingCommands = 0;
        Say() << "The movie is recorded on from frame " << position << "." << std::endl;
    }
}

std::string MovieFunctions::StatusText() const {
    switch (mode) {
    case Mode::Recording:
        return "Recording, frame " + std::to_string(position);
    case Mode::Playing:
        return "Playing, frame " + std::to_string(position) + " of " + std::to_string(movie.frames.size());
    case Mode::Off:
        break;
    }
    return {};
}

std::string MovieFunctions::CounterText() const {
    if (!showCounters.value) {
        return {};
    }
    return "frame " + std::to_string(Active() ? position : frameCount) + ", lag " + std::to_string(lagCount) +
           "  1:" + PadText(lastInput.pads[0]) + " 2:" + PadText(lastInput.pads[1]);
}

bool MovieFunctions::Command::Execute(std::istream& arguments, std::ostream&) {
    std::string target;
    std::string word;
    Console::ReadToken(arguments, target);
    Console::ReadToken(arguments, word);
    switch (kind) {
    case RecordMovie:
        // "movie_record state" alone records from the moment into the default file.
        if (target == "state" && word.empty()) {
            std::swap(target, word);
        }
        if (!word.empty() && word != "state") {
            return false;
        }
        owner.Record(target, word == "state");
        return true;
    case PlayMovie:
        owner.Play(target);
        return true;
    case StopMovie:
        if (owner.mode == Mode::Off) {
            Say() << "No movie is playing or recording." << std::endl;
        }
        owner.Stop();
        return true;
    }
    return true;
}

void MovieFunctions::Command::PrintUsage(std::ostream& out) {
    switch (kind) {
    case RecordMovie:
        out << "Records the players' input into a movie, from power-on or (\"state\") from this moment.\n"
            << "usage: movie_record [\"<filename>\"] [state]" << std::endl;
        break;
    case PlayMovie:
        out << "Plays a movie (Halvo's, or an FCEUX .fm2 from power-on) from its start.\n"
            << "usage: movie_play [\"<filename>\"]" << std::endl;
        break;
    case StopMovie:
        out << "Ends the movie that plays or records; a recording is written to its file.\n"
            << "usage: movie_stop" << std::endl;
        break;
    }
}

} // namespace Halvo
