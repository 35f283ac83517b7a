#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/rom/Crc32.h"
#include "nes/state/SaveState.h"
#include "support/BankingRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// After a spoiled edit: the file's length and checksum made right again, so that only the spoiled
// part is wrong.
void Reseal(Bytes& file) {
    const auto put = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    put(12, static_cast<std::uint32_t>(file.size()));
    put(file.size() - 4, Nes::Crc32::Of(file.data(), file.size() - 4));
}

std::size_t SectionAt(const Bytes& file, const char* tag) {
    return static_cast<std::size_t>(std::search(file.begin(), file.end(), tag, tag + 4) - file.begin());
}

struct BadState {
    const char* what;
    std::function<void(Bytes&)> spoil;
    const char* error;
};

void PrintTo(const BadState& row, std::ostream* out) {
    *out << row.what;
}

const BadState BadStates[] = {
    {"another cartridge", [](Bytes& f) { f[20] ^= 1, Reseal(f); }, "it belongs to another cartridge"},
    {"newer version", [](Bytes& f) { f[8] = 2, Reseal(f); }, "newer version of Halvo (state format 2"},
    {"truncated", [](Bytes& f) { f.erase(f.end() - 100, f.end()); }, "it is truncated"},
    {"corrupted", [](Bytes& f) { f[f.size() / 2] ^= 0x10; }, "it is corrupted"},
    {"not a state", [](Bytes& f) { f[0] = 'X'; }, "it is not a Halvo save state"},
    {"empty", [](Bytes& f) { f.clear(); }, "it is truncated"},
    // The mappings come last: a loader that went straight at the running machine would have loaded
    // every other section by then.
    {"section of the wrong size",
     [](Bytes& f) {
         const std::size_t at = SectionAt(f, "MAPS");
         f[at + 4] -= 1;
         f.erase(f.end() - 5);
         Reseal(f);
     },
     "its \"MAPS\" section has the wrong size"},
    {"value out of range",
     [](Bytes& f) {
         f[SectionAt(f, "PPU ") + 8 + 4] = 0x7F; // the high byte of the scanline
         Reseal(f);
     },
     "its \"PPU \" section holds a value this machine cannot take"},
};

class SpoiledState : public testing::TestWithParam<BadState> {};

// A spoiled state is refused with its reason, and the game goes on exactly as a twin that was never
// offered it.
TEST_P(SpoiledState, IsRefusedAndLeavesTheGameAsItWas) {
    TestSupport::TempDir folder;
    const std::string path = folder.Path("banking.nes").string();
    TestSupport::BankingProgram(1).Write(path);
    Tools::HeadlessMachine donor, victim, twin;
    for (Tools::HeadlessMachine* machine : {&donor, &victim, &twin}) {
        ASSERT_TRUE(machine->Load(path));
    }
    donor.RunFrames(10);
    Bytes state = Nes::SaveState::Write(*donor.process);
    GetParam().spoil(state);
    victim.RunFrames(20);
    twin.RunFrames(20);

    std::string error;
    EXPECT_FALSE(Nes::SaveState::Load(*victim.process, state.data(), state.size(), error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;

    victim.RunFrames(5);
    twin.RunFrames(5);
    EXPECT_EQ(victim.PictureCrc(), twin.PictureCrc());
    EXPECT_TRUE(victim.process->ram == twin.process->ram);
    Bytes victimState, twinState;
    Nes::SaveState::WriteMachine(*victim.process, victimState);
    Nes::SaveState::WriteMachine(*twin.process, twinState);
    EXPECT_TRUE(victimState == twinState);
}

INSTANTIATE_TEST_SUITE_P(States, SpoiledState, testing::ValuesIn(BadStates),
                         [](const testing::TestParamInfo<BadState>& info) {
                             std::string name = info.param.what;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

} // namespace
} // namespace Halvo
