#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/rom/Crc32.h"
#include "nes/state/SaveState.h"
#include "shell/Rewind.h"
#include "shell/StateFunctions.h"
#include "support/BankingRom.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes StateOf(Nes::Process& process) {
    Bytes state;
    Nes::SaveState::WriteMachine(process, state);
    return state;
}

// After an edit: the file's length and checksum made right again, so that only the edit is wrong.
void Reseal(Bytes& file) {
    const auto put = [&](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    put(12, static_cast<std::uint32_t>(file.size()));
    put(file.size() - 4, Nes::Crc32::Of(file.data(), file.size() - 4));
}

std::size_t SectionAt(const Bytes& file, const char* tag) {
    return static_cast<std::size_t>(std::search(file.begin(), file.end(), tag, tag + 4) - file.begin());
}

std::uint32_t WordAt(const Bytes& file, std::size_t at) {
    return static_cast<std::uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24);
}

// Where field `n` (in the order written) of a section begins: its tag, then its length and its bytes.
std::size_t FieldAt(const Bytes& file, const char* section, int n) {
    std::size_t at = SectionAt(file, section) + 8;
    for (int i = 0; i < n; ++i) {
        at += 8 + WordAt(file, at + 4);
    }
    return at;
}

class StateCommands : public testing::Test, public StateHost {
protected:
    void SetUp() override {
        TestSupport::BankingProgram(1).Write(image);
        ASSERT_TRUE(machine.Load(image));
        for (Console::Function* function : functions.Functions()) {
            capture.System().RegisterFunction(Ref::Ptr<Console::Function>(function));
        }
        capture.System().echo = false;
    }
    void TearDown() override {
        for (Console::Function* function : functions.Functions()) {
            capture.System().UnregisterFunction(function->name);
        }
    }
    Nes::Process* StateMachine() override { return running ? machine.process.Get() : nullptr; }
    std::string StateImageFile() override { return image; }

    // Runs console lines after a few frames; the machine's state before them.
    Bytes Type(const std::string& lines) {
        machine.RunFrames(3);
        const Bytes before = StateOf(*machine.process);
        capture.Clear();
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);) {
            capture.System().Execute(line);
        }
        return before;
    }

    // Frames forwards through the rewind, each frame's state kept for comparing.
    void Play(std::uint32_t frames) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            rewind.RunFrame(*machine.process, true, 60);
            played.push_back(StateOf(*machine.process));
        }
    }

    TestSupport::TempDir folder;
    TestSupport::ConsoleCapture capture;
    std::string image = folder.Path("banking.nes").string();
    Tools::HeadlessMachine machine;
    bool running = true;
    StateFunctions functions{*this, folder.Path("states")};
    Rewind rewind;
    std::vector<Bytes> played;
};

// Each way of naming where a state goes brings the game back to the moment it was saved.
TEST_F(StateCommands, SaveAndLoadBySlotOrFile) {
    const std::string mine = folder.Path("mine.state").string();
    const struct {
        std::string save, load, file;
    } trips[] = {
        {"savestate", "loadstate", folder.Path("states/banking.0.state").string()},
        {"savestate 7", "loadstate 7", folder.Path("states/banking.7.state").string()},
        {"state_slot = 4\nsavestate", "loadstate", folder.Path("states/banking.4.state").string()},
        {"savestate \"" + mine + "\"", "loadstate \"" + mine + "\"", mine},
        // A name without a "/" is a file of the slots' folder, wherever Halvo was started.
        {"savestate \"before boss.state\"", "loadstate \"before boss.state\"",
         folder.Path("states/before boss.state").string()},
        // Slot 10 does not exist: the slot stays 4 rather than becoming 9.
        {"state_slot = 10\nsavestate", "loadstate 4", folder.Path("states/banking.4.state").string()},
    };
    for (const auto& trip : trips) {
        SCOPED_TRACE(trip.save);
        const Bytes saved = Type(trip.save);
        Type(trip.load);
        EXPECT_EQ(capture.LastLine(), "State loaded from " + trip.file + ".");
        EXPECT_TRUE(StateOf(*machine.process) == saved);
    }
    // Late in the frame counter's five-step sequence, which began more than a frame's cycles ago.
    Nes::Process& process = *machine.process;
    process.CpuWrite(0x4017, 0x80);
    for (int frame = 0; frame < 10 && process.GetApu().cycle - process.GetApu().sequenceStart < 34000;
         ++frame) {
        machine.RunFrames(1);
    }
    ASSERT_GE(process.GetApu().cycle - process.GetApu().sequenceStart, 34000u);
    const Bytes late = StateOf(process);
    capture.System().Execute("savestate 9");
    capture.System().Execute("loadstate 9");
    EXPECT_EQ(capture.LastLine(),
              "State loaded from " + folder.Path("states/banking.9.state").string() + ".");
    EXPECT_TRUE(StateOf(process) == late);
}

// Fields are found by their tags: one the file lacks takes a fresh machine's value (here the RAM, all
// zeros after power-on), and one this machine does not know is passed over.
TEST_F(StateCommands, MissingFieldsTakeFreshValuesUnknownOnesArePassedOver) {
    machine.RunFrames(3);
    Nes::Process& process = *machine.process;
    const Bytes saved = StateOf(process);
    Bytes file = Nes::SaveState::Write(process);
    const auto resize = [&](const char* section, std::int64_t change) {
        const std::size_t length = SectionAt(file, section) + 4;
        const auto value = static_cast<std::uint32_t>(WordAt(file, length) + change);
        for (std::size_t i = 0; i < 4; ++i) {
            file[length + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    const std::size_t ram = FieldAt(file, "MACH", 0);
    const std::size_t ramEnd = FieldAt(file, "MACH", 1);
    file.erase(file.begin() + static_cast<std::ptrdiff_t>(ram),
               file.begin() + static_cast<std::ptrdiff_t>(ramEnd));
    resize("MACH", -static_cast<std::int64_t>(ramEnd - ram));
    const Bytes unknown = {0xEF, 0xBE, 0xAD, 0xDE, 2, 0, 0, 0, 0x12, 0x34};
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(FieldAt(file, "PPU ", 0)), unknown.begin(),
                unknown.end());
    resize("PPU ", static_cast<std::int64_t>(unknown.size()));
    Reseal(file);
    const auto ramBefore = process.Ram();
    ASSERT_NE(std::count(ramBefore.begin(), ramBefore.end(), 0), 2048);
    std::string error;
    ASSERT_TRUE(Nes::SaveState::Load(process, file.data(), file.size(), error)) << error;
    EXPECT_EQ(std::count(process.Ram().begin(), process.Ram().end(), 0), 2048);
    // Everything else is the saved machine.
    process.Ram() = ramBefore;
    EXPECT_TRUE(StateOf(process) == saved);
}

// A state that Halvo 0.2.0 (format 1) saved after 30 frames of the MMC1 banking program goes on exactly
// as the program does when it runs on from power-on.
TEST(StateFormats, StatesOfHalvo020LoadAndGoOnExactly) {
    TestSupport::TempDir folder;
    const std::string rom = folder.Path("banking.nes").string();
    TestSupport::BankingProgram(1).Write(rom);
    // From the source tree, wherever the test runs from.
    std::ifstream in(std::filesystem::path(HALVO_TEST_SOURCE_DIR) / "state/data/mmc1-frame30-0.2.0.state",
                     std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(file.size(), 20341u);
    ASSERT_EQ(file[8], 1);
    Tools::HeadlessMachine uninterrupted;
    ASSERT_TRUE(uninterrupted.Load(rom));
    uninterrupted.RunFrames(90);
    Tools::HeadlessMachine resumed;
    ASSERT_TRUE(resumed.Load(rom));
    std::string error;
    ASSERT_TRUE(Nes::SaveState::Load(*resumed.process, file.data(), file.size(), error)) << error;
    resumed.RunFrames(60);
    EXPECT_EQ(resumed.PictureCrc(), uninterrupted.PictureCrc());
    EXPECT_TRUE(StateOf(*resumed.process) == StateOf(*uninterrupted.process));
}

// A state belongs to the timing model that made it: the other model's machine refuses it with the
// reason and is left as it was.
TEST(StateFormats, AStateOfTheOtherTimingModelIsRefusedByName) {
    TestSupport::TempDir folder;
    const std::string rom = folder.Path("banking.nes").string();
    TestSupport::BankingProgram(1).Write(rom);
    for (const bool exactFirst : {false, true}) {
        Tools::HeadlessMachine writer;
        writer.settings.cpuKind = exactFirst ? "Exact" : "Static";
        ASSERT_TRUE(writer.Load(rom));
        writer.RunFrames(10);
        const Bytes state = Nes::SaveState::Write(*writer.process);
        Tools::HeadlessMachine reader;
        reader.settings.cpuKind = exactFirst ? "Static" : "Exact";
        ASSERT_TRUE(reader.Load(rom));
        reader.RunFrames(5);
        const Bytes before = StateOf(*reader.process);
        std::string error;
        EXPECT_FALSE(Nes::SaveState::Load(*reader.process, state.data(), state.size(), error));
        EXPECT_EQ(error, std::string("it was saved with the \"") + (exactFirst ? "exact" : "line") +
                             "\" timing model (set nes_timing to " + (exactFirst ? "exact" : "line") +
                             " and load the game again)");
        EXPECT_TRUE(StateOf(*reader.process) == before);
    }
}

// A state that cannot be loaded is one clear line, and the running game is not touched: not even the
// sections before a bad one are loaded.
TEST_F(StateCommands, RefusedStatesSayWhyAndKeepTheGame) {
    const std::string file = folder.Path("spoiled.state").string();
    const std::string refused = "Could not load the state " + file + ": ";
    const std::string kept = "; the game goes on as it was.";
    const struct {
        std::function<void(Bytes&)> spoil; // null: no file at all
        std::string report;
    } cases[] = {
        {[](Bytes& f) { f[20] ^= 1, Reseal(f); }, refused + "it belongs to another cartridge" + kept},
        {[](Bytes& f) { f[8] = 3, Reseal(f); },
         refused + "it was saved by a newer version of Halvo (state format 3; this one reads format 2)" +
             kept},
        {[](Bytes& f) { f.erase(f.end() - 100, f.end()); }, refused + "it is truncated" + kept},
        {[](Bytes& f) { f[FieldAt(f, "CPU ", 2) + 4] = 2, Reseal(f); }, // S as two bytes
         refused + "its \"CPU \" section has the wrong size for this machine" + kept},
        {[](Bytes& f) { f[f.size() / 2] ^= 0x10; },
         refused + "it is corrupted (its checksum does not match)" + kept},
        {[](Bytes& f) { f[0] = 'X'; }, refused + "it is not a Halvo save state" + kept},
        {[](Bytes& f) { f[SectionAt(f, "MAPS") + 4] -= 1, f.erase(f.end() - 5), Reseal(f); },
         refused + "its \"MAPS\" section has the wrong size for this machine" + kept},
        {[](Bytes& f) { f[FieldAt(f, "PPU ", 1) + 8 + 3] = 0x7F, Reseal(f); }, // the scanline's high byte
         refused + "its \"PPU \" section holds a value this machine cannot take" + kept},
        // The sound unit's clock far from the processor's: it would step for hours.
        {[](Bytes& f) { f[FieldAt(f, "APU ", 0) + 8 + 6] = 0x40, Reseal(f); },
         refused + "its \"APU \" section holds a value this machine cannot take" + kept},
        {nullptr, refused + "there is no such file" + kept},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.report);
        std::filesystem::remove(file);
        if (row.spoil) {
            Bytes state = Nes::SaveState::Write(*machine.process);
            row.spoil(state);
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(state.data()), state.size());
        }
        const Bytes before = Type("loadstate \"" + file + "\"");
        EXPECT_TRUE(capture.HoldsOnly("Halvo::StateFunctions::Load", row.report));
        EXPECT_TRUE(StateOf(*machine.process) == before);
    }
    running = false;
    Type("savestate");
    EXPECT_TRUE(
        capture.HoldsOnly("Halvo::StateFunctions::Save", "No game is running: there is no state to save."));
}

// Times and counts a machine never holds between frames, in a state whose checksum is right: each is
// refused, since taken it would overflow or leave the machine catching up for ever (a DMC stall with
// its top byte set ran at full speed for good). The running game is not touched.
TEST_F(StateCommands, RefusesTimesNoMachineReaches) {
    Nes::Process& process = *machine.process;
    const std::string cannotTake = " section holds a value this machine cannot take";
    // The machine's own times are set in the file: its fields are RAM, the time account, the sound
    // unit's due cycle and the board IRQ's cycle.
    const auto setMachineField = [](int field, std::uint64_t value) {
        return [field, value](Bytes& file) {
            const std::size_t at = FieldAt(file, "MACH", field) + 8;
            for (std::size_t i = 0; i < 8; ++i) {
                file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
            }
            Reseal(file);
        };
    };
    const struct {
        std::function<void()> craft;
        std::function<void(Bytes&)> edit;
        std::string reason;
    } cases[] = {
        {[&] { process.GetApu().dmc.stall = 0xFF000000u; }, {}, "its \"APU \"" + cannotTake},
        {[&] { process.GetApu().dmc.stall = 1000; }, {}, "its \"APU \"" + cannotTake},
        {[&] { process.GetCpu().counter = -2'000'000'000; }, {}, "its \"CPU \"" + cannotTake},
        {[&] { process.GetCpu().target = 2'000'000'000; }, {}, "its \"CPU \"" + cannotTake},
        {[] {}, setMachineField(3, 0xFF00000000000000u), "its \"MACH\"" + cannotTake},
        {[] {}, setMachineField(3, process.CpuCycle() + 10'000'000), "its \"MACH\"" + cannotTake},
        {[] {}, setMachineField(1, 0xFF00000000000000u), "its \"MACH\"" + cannotTake},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        machine.RunFrames(2);
        const Bytes before = StateOf(process);
        c.craft();
        Bytes crafted = Nes::SaveState::Write(process);
        if (c.edit) {
            c.edit(crafted);
        }
        std::string ignored;
        ASSERT_TRUE(Nes::SaveState::ReadMachine(process, before.data(), before.size(), ignored));
        std::string error;
        if (Nes::SaveState::Load(process, crafted.data(), crafted.size(), error)) {
            ADD_FAILURE() << "loaded";
            // Running it could take for ever.
            ASSERT_TRUE(Nes::SaveState::ReadMachine(process, before.data(), before.size(), ignored));
        }
        EXPECT_EQ(error, c.reason);
        EXPECT_TRUE(StateOf(process) == before);
    }
    // Where the processor stops for a board IRQ is worked out from the IRQ's cycle, not taken as saved:
    // with no IRQ due, a saved stop would have the board raise an IRQ it never scheduled.
    process.GetCpu().irqAt = 0x7FFFFFFF;
    const Bytes stray = Nes::SaveState::Write(process);
    std::string error;
    ASSERT_TRUE(Nes::SaveState::Load(process, stray.data(), stray.size(), error)) << error;
    EXPECT_EQ(process.GetCpu().irqAt, Nes::Cpu::NoIrq);
}

// Held for K frames, the rewind leaves the machine as it was K frames before; released, the game goes
// on from there and is recorded anew.
TEST_F(StateCommands, HeldForKFramesGivesTheMachineOfKFramesBefore) {
    Play(80);
    std::size_t now = played.size() - 1;
    for (const std::uint32_t k : {1u, 5u, 40u}) {
        SCOPED_TRACE(k);
        rewind.held = true;
        for (std::uint32_t i = 0; i < k; ++i) {
            rewind.RunFrame(*machine.process, true, 60);
        }
        now -= k;
        EXPECT_TRUE(StateOf(*machine.process) == played[now]);
        rewind.held = false;
    }
    played.resize(now + 1);
    Play(3);
    rewind.held = true;
    rewind.RunFrame(*machine.process, true, 60);
    EXPECT_TRUE(StateOf(*machine.process) == played[played.size() - 2]);
}

// The past kept stops at rewind_seconds and within the memory allowed, over a long run too; 0 seconds
// records nothing.
TEST_F(StateCommands, KeepsWithinItsSecondsAndMemory) {
    const struct {
        unsigned int seconds;
        std::size_t bytesPer30Seconds;
        std::uint32_t frames;
        std::size_t framesKept; // 0: fewer than were played, as memory ran out
    } cases[] = {
        {1, Rewind::BytesPer30Seconds, 90, 60},
        {0, Rewind::BytesPer30Seconds, 10, 0},
        {30, 120 * 1024, 300, 0},
        {30, Rewind::BytesPer30Seconds, 1850, 1800},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.frames);
        rewind.seconds.value = row.seconds;
        rewind.bytesPer30Seconds = row.bytesPer30Seconds;
        rewind.Forget();
        Play(row.frames);
        EXPECT_LE(rewind.buffer.Bytes(), row.seconds * row.bytesPer30Seconds / 30);
        if (row.framesKept || !row.seconds) {
            EXPECT_EQ(rewind.buffer.Frames(), row.framesKept);
        } else {
            EXPECT_LT(rewind.buffer.Frames(), row.frames - 1);
            EXPECT_GT(rewind.buffer.Frames(), 10u);
        }
    }
}

} // namespace
} // namespace Halvo
