#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Process.h"
#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImage.h"
#include "nes/state/SaveState.h"
#include "support/Machine.h"

namespace Halvo {
namespace {

using Writes = std::vector<std::pair<std::uint16_t, std::uint8_t>>;

struct ChipBoard {
    const char* board;
    Writes writes;
    Writes otherNote; // the tone moved to another pitch
};

Writes Namco163Tone() {
    Writes writes{{0xE000, 0x00}, {0xF800, 0x80}};
    for (int i = 0; i < 16; ++i) {
        writes.emplace_back(0x4800, i < 8 ? 0xFF : 0x00);
    }
    writes.emplace_back(0xF800, 0xF8);
    for (const std::uint8_t value : {0x00, 0x00, 0x0F, 0x00, 0xE0, 0x00, 0x00, 0x0F}) {
        writes.emplace_back(0x4800, value);
    }
    return writes;
}

// clang-format off
const ChipBoard Boards[] = {
    {"VRC6A", {{0x9000, 0x7F}, {0x9001, 0xFF}, {0x9002, 0x81}}, {{0x9001, 0x40}}},
    {"JLROM", {{0xC000, 0}, {0xE000, 0}, {0xC000, 1}, {0xE000, 1}, {0xC000, 7}, {0xE000, 0x3E}, {0xC000, 8}, {0xE000, 15}}, {{0xC000, 0}, {0xE000, 0x80}}},
    {"EKROM", {{0x5015, 1}, {0x5000, 0xBF}, {0x5002, 0xFF}, {0x5003, 1}}, {{0x5002, 0x40}}},
    {"NAMCO-163", Namco163Tone(), {{0xF800, 0x7A}, {0x4800, 0x3F}}},
    {"VRC7", {{0x9010, 0x30}, {0x9030, 0x10}, {0x9010, 0x10}, {0x9030, 144}, {0x9010, 0x20}, {0x9030, 0x18}}, {{0x9010, 0x10}, {0x9030, 77}}},
};
// clang-format on

double Swing(const std::vector<float>& samples) {
    const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    return samples.empty() ? 0 : *high - *low;
}

// A game on each board with a sound chip, idling in a loop, whose chip is set to play a tone between
// two frames: the tone reaches the machine's samples, and a snapshot taken while it plays brings the
// chip back exactly, whatever the game played since (the samples after loading it repeat those after
// taking it).
TEST(ExpansionBoards, ChipsReachTheMixAndTheirStatesAreSaved) {
    Ref::Ptr<Nes::MmcManager> manager(Nes::MmcManager::Instance());
    Nes::RegisterBoards(*manager);
    for (const ChipBoard& chip : Boards) {
        SCOPED_TRACE(chip.board);
        auto image = TestSupport::MakeImage(8, 8, chip.board);
        std::uint8_t* last = image->prgRom.get() + 8 * 16384 - 8192;
        std::memset(last, 0, 8192);
        const std::uint8_t loop[] = {0x4C, 0x00, 0xE0}; // JMP $E000
        std::memcpy(last, loop, sizeof loop);
        const std::uint8_t vectors[] = {0x00, 0xE0, 0x00, 0xE0, 0x00, 0xE0};
        std::memcpy(last + 0x1FFA, vectors, sizeof vectors);
        Ref::Ptr<Nes::Process> process = Nes::Process::Create("Static", image.get());
        ASSERT_TRUE(process);
        process->Reset(true);
        process->GetApu().SetSynthesis(true);
        const auto frames = [&](int count) {
            process->GetApu().samples.clear();
            for (int i = 0; i < count; ++i) {
                process->RunFrame(false);
            }
            return process->GetApu().samples;
        };
        frames(40); // the output stage settles from power-up
        EXPECT_LT(Swing(frames(5)), 0.01);
        for (const auto& [address, value] : chip.writes) {
            process->CpuWrite(address, value);
        }
        EXPECT_GT(Swing(frames(20)), 0.1);
        std::vector<std::uint8_t> snapshot;
        Nes::SaveState::WriteMachine(*process, snapshot);
        const std::vector<float> after = frames(10);
        for (const auto& [address, value] : chip.otherNote) {
            process->CpuWrite(address, value);
        }
        frames(3);
        std::string error;
        ASSERT_TRUE(Nes::SaveState::ReadMachine(*process, snapshot.data(), snapshot.size(), error)) << error;
        EXPECT_EQ(frames(10), after);
    }
}

} // namespace
} // namespace Halvo
