#include "TestRoms.h"

#include <vector>

#include "nes/Cpu.h"

namespace Halvo {
namespace {

using TestSupport::TestRoms;

struct Expectation {
    std::string file;
    std::uint32_t frames; // the most the program needs
};

void PrintTo(const Expectation& expectation, std::ostream* out) {
    *out << expectation.file;
}

// The programs of one folder, each given at most `frames` frames.
std::vector<Expectation> Programs(const std::string& folder, std::uint32_t frames,
                                  std::initializer_list<const char*> names) {
    std::vector<Expectation> programs;
    for (const char* name : names) {
        programs.push_back({folder + name + ".nes", frames});
    }
    return programs;
}

class PassingTestRom : public testing::TestWithParam<Expectation> {};

// Each program reports through its own protocol (status at $6000, text on screen or a result code at
// $00F8) and must report a pass.
TEST_P(PassingTestRom, ReportsAPass) {
    const auto path = TestRoms / GetParam().file;
    HALVO_REQUIRE_TEST_ROM(path);
    Tools::HeadlessMachine machine;
    ASSERT_TRUE(machine.Load(path.string()));
    const Tools::TestResult result = TestSupport::RunUntilResult(machine, GetParam().frames);
    EXPECT_FALSE(machine.process->cpu->jammed);
    EXPECT_EQ(result.verdict, Tools::ExitPass) << result.protocol << " code " << result.code << "\n"
                                               << result.text << Tools::NameTableText(*machine.process->ppu);
}

std::string RomName(const testing::TestParamInfo<Expectation>& info) {
    std::string name = std::filesystem::path(info.param.file).stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    InstrTestV5, PassingTestRom,
    testing::ValuesIn(Programs("cpu/instr_test-v5/", 3000,
                               {"01-basics", "02-implied", "03-immediate", "04-zero_page", "05-zp_xy",
                                "06-absolute", "07-abs_xy", "08-ind_x", "09-ind_y", "10-branches", "11-stack",
                                "12-jmp_jsr", "13-rts", "14-rti", "15-brk", "16-special"})),
    RomName);

INSTANTIATE_TEST_SUITE_P(
    PpuTests, PassingTestRom,
    testing::ValuesIn(Programs("ppu/", 600,
                               {"blargg_ppu_tests/palette_ram", "blargg_ppu_tests/sprite_ram",
                                "blargg_ppu_tests/vram_access", "sprite_hit_tests/01.basics",
                                "sprite_hit_tests/02.alignment", "sprite_hit_tests/03.corners",
                                "sprite_hit_tests/04.flip", "sprite_hit_tests/05.left_clip",
                                "sprite_hit_tests/06.right_edge", "sprite_overflow_tests/1.Basics"})),
    RomName);

// The sound unit as the processor sees it; the reset tests ask for the reset button, which the runner
// presses as a person would.
INSTANTIATE_TEST_SUITE_P(ApuTests, PassingTestRom,
                         testing::ValuesIn(Programs(
                             "apu/", 600,
                             {"apu_test/1-len_ctr", "apu_test/2-len_table", "apu_test/3-irq_flag",
                              "apu_test/4-jitter", "apu_test/5-len_timing", "apu_test/6-irq_flag_timing",
                              "apu_test/7-dmc_basics", "apu_test/8-dmc_rates", "apu_reset/4015_cleared",
                              "apu_reset/4017_timing", "apu_reset/4017_written", "apu_reset/irq_flag_cleared",
                              "apu_reset/len_ctrs_enabled", "apu_reset/works_immediately"})),
                         RomName);

} // namespace
} // namespace Halvo
