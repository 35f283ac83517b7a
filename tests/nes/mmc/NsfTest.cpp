#include "nes/mmc/Nsf.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Process.h"
#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/NsfIOStrategy.h"
#include "nes/state/SaveState.h"
#include "support/NsfBuilder.h"

namespace Halvo {
namespace {

// A tune running on its board in a whole machine.
struct Player {
    explicit Player(const TestSupport::NsfBuilder& nsf, std::uint32_t track = 0) {
        Nes::RegisterBoards(*manager);
        const std::vector<std::uint8_t> bytes = nsf.Bytes();
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        image = Nes::NsfIOStrategy().LoadImage(in, true);
        EXPECT_TRUE(image);
        process = Nes::Process::Create("Static", image.get());
        EXPECT_TRUE(process);
        if (track) {
            static_cast<Nes::Nsf&>(process->GetMmc()).SelectTrack(track);
        }
        process->Reset(true);
    }
    std::vector<float> Frames(int count) {
        process->GetApu().samples.clear();
        for (int i = 0; i < count; ++i) {
            process->RunFrame(false);
        }
        return process->GetApu().samples;
    }

    Ref::Ptr<Nes::MmcManager> manager{Nes::MmcManager::Instance()};
    std::unique_ptr<Nes::RomImage> image;
    Ref::Ptr<Nes::Process> process;
};

double Swing(const std::vector<float>& samples) {
    const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    return samples.empty() ? 0.0 : *high - *low;
}

// INIT keeps its track and region at $00 and $01 and switches bank 3 into $9000; PLAY counts its
// calls at $02 and copies the byte $9000 shows to $03. Bank n begins with $B0 + n.
TestSupport::NsfBuilder CountingTune() {
    TestSupport::NsfBuilder nsf;
    nsf.songs = 4;
    nsf.init = 0x8000;
    nsf.play = 0x800A;
    nsf.banks = {0, 1, 2, 3, 0, 0, 0, 0};
    nsf.program = std::vector<std::uint8_t>(4 * 4096, 0xEA);
    const std::uint8_t code[] = {
        0x85, 0x00, 0x86, 0x01, 0xA9, 0x03, 0x8D, 0xF9, 0x5F, 0x60, // INIT
        0xE6, 0x02, 0xAD, 0x00, 0x90, 0x85, 0x03, 0x60,             // PLAY
    };
    std::copy(std::begin(code), std::end(code), nsf.program.begin());
    for (int bank = 1; bank < 4; ++bank) {
        nsf.program[bank * 4096] = static_cast<std::uint8_t>(0xB0 + bank);
    }
    return nsf;
}

TEST(NsfBoard, InitGetsTheTrackAndPlayIsCalledAtTheHeadersRate) {
    struct Case {
        const char* name;
        std::uint8_t region;
        std::uint16_t ntscPeriod, palPeriod;
        int frames;
    };
    const Case cases[] = {
        {"NTSC frame rate", 0, 16639, 19997, 120},
        {"NTSC at 125 Hz", 0, 8000, 19997, 120},
        {"PAL frame rate", 1, 16639, 19997, 100},
        {"PAL at 100 Hz", 1, 16639, 10000, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::NsfBuilder nsf = CountingTune();
        nsf.region = c.region;
        nsf.ntscPeriod = c.ntscPeriod;
        nsf.palPeriod = c.palPeriod;
        Player player(nsf, 3);
        const std::uint64_t start = player.process->CpuCycle();
        player.Frames(c.frames);
        EXPECT_EQ(player.process->Ram()[0x00], 2); // track 3, counted from 0
        EXPECT_EQ(player.process->Ram()[0x01], c.region);
        // The calls the period fits into the processor's time (NTSC 1.789773 MHz, PAL 1.662607 MHz).
        const double seconds =
            static_cast<double>(player.process->CpuCycle() - start) / (c.region ? 1662607.03 : 1789772.73);
        const double calls = seconds * 1e6 / (c.region ? c.palPeriod : c.ntscPeriod);
        EXPECT_GT(calls, 99.0);
        EXPECT_NEAR(player.process->Ram()[0x02], calls, 1.0);
    }
}

TEST(NsfBoard, BankRegistersSwitchTheProgramsBanks) {
    Player player(CountingTune());
    player.Frames(3);
    // INIT's write to $5FF9 showed bank 3 at $9000 for PLAY; bank 2 still shows at $A000.
    EXPECT_EQ(player.process->Ram()[0x03], 0xB3);
    EXPECT_EQ(player.process->CpuRead(0xA000), 0xB2);
    // The driver's vectors answer whatever bank $F000 shows.
    player.process->CpuWrite(0x5FFF, 2);
    EXPECT_EQ(player.process->CpuReadWord(0xFFFC), Nes::Nsf::DriverAddress);
    EXPECT_EQ(player.process->CpuRead(0xF000), 0xB2);
}

// Each expansion chip bit of the header brings its chip to its usual registers: a tone set up there
// between two frames reaches the machine's samples, and a saved state brings it back exactly. Without
// the header's bits the same writes reach no chip.
TEST(NsfBoard, EveryHeaderChipAnswersAtItsRegisters) {
    using Writes = std::vector<std::pair<std::uint16_t, std::uint8_t>>;
    Writes namco = {{0xF800, 0x80}};
    for (int i = 0; i < 16; ++i) {
        namco.emplace_back(0x4800, i < 8 ? 0xFF : 0x00);
    }
    namco.emplace_back(0xF800, 0xF8);
    for (const std::uint8_t value : {0x00, 0x00, 0x0F, 0x00, 0xE0, 0x00, 0x00, 0x0F}) {
        namco.emplace_back(0x4800, value);
    }
    Writes fds = {{0x4089, 0x80}};
    for (int i = 0; i < 64; ++i) {
        fds.emplace_back(0x4040 + i, i < 32 ? 63 : 0);
    }
    for (const auto& write : Writes{{0x4089, 0x00}, {0x4080, 0x80 | 32}, {0x4082, 0x00}, {0x4083, 0x02}}) {
        fds.push_back(write);
    }
    const std::pair<std::uint8_t, Writes> chips[] = {
        {0x01, {{0x9000, 0x7F}, {0x9001, 0xFF}, {0x9002, 0x81}}},
        {0x02,
         {{0x9010, 0x30}, {0x9030, 0x10}, {0x9010, 0x10}, {0x9030, 144}, {0x9010, 0x20}, {0x9030, 0x18}}},
        {0x04, fds},
        {0x08, {{0x5015, 1}, {0x5000, 0xBF}, {0x5002, 0xFF}, {0x5003, 1}}},
        {0x10, namco},
        {0x20,
         {{0xC000, 0},
          {0xE000, 0},
          {0xC000, 1},
          {0xE000, 1},
          {0xC000, 7},
          {0xE000, 0x3E},
          {0xC000, 8},
          {0xE000, 15}}},
    };
    for (const auto& [bit, writes] : chips) {
        SCOPED_TRACE(static_cast<int>(bit));
        TestSupport::NsfBuilder nsf;
        nsf.chips = bit;
        nsf.load = bit == 0x04 ? 0x6000 : 0x8000; // the Disk System's tunes may load into its RAM
        nsf.init = nsf.play = nsf.load;
        nsf.program = {0x60};
        Player player(nsf);
        player.process->GetApu().SetSynthesis(true);
        player.Frames(40);
        EXPECT_LT(Swing(player.Frames(5)), 0.01);
        for (const auto& [address, value] : writes) {
            player.process->CpuWrite(address, value);
        }
        EXPECT_GT(Swing(player.Frames(20)), 0.1);
        std::vector<std::uint8_t> snapshot;
        Nes::SaveState::WriteMachine(*player.process, snapshot);
        const std::vector<float> after = player.Frames(10);
        std::string error;
        ASSERT_TRUE(Nes::SaveState::ReadMachine(*player.process, snapshot.data(), snapshot.size(), error))
            << error;
        EXPECT_EQ(player.Frames(10), after);
    }
    TestSupport::NsfBuilder plain;
    plain.program = {0x60};
    Player silent(plain);
    silent.process->GetApu().SetSynthesis(true);
    silent.Frames(40);
    for (const auto& [bit, writes] : chips) {
        for (const auto& [address, value] : writes) {
            silent.process->CpuWrite(address, value);
        }
    }
    EXPECT_LT(Swing(silent.Frames(20)), 0.01);
}

} // namespace
} // namespace Halvo
