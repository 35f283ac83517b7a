#include "TestRoms.h"

#include "nes/Cpu.h"

namespace Halvo {
namespace {

using TestSupport::TestRoms;

struct Expectation {
    const char* file;
    std::uint32_t frames; // the most the program needs
};

void PrintTo(const Expectation& expectation, std::ostream* out) {
    *out << expectation.file;
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

INSTANTIATE_TEST_SUITE_P(InstrTestV5, PassingTestRom,
                         testing::Values(Expectation{"cpu/instr_test-v5/01-basics.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/02-implied.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/03-immediate.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/04-zero_page.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/05-zp_xy.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/06-absolute.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/07-abs_xy.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/08-ind_x.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/09-ind_y.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/10-branches.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/11-stack.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/12-jmp_jsr.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/13-rts.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/14-rti.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/15-brk.nes", 3000},
                                         Expectation{"cpu/instr_test-v5/16-special.nes", 3000}),
                         RomName);

INSTANTIATE_TEST_SUITE_P(PpuTests, PassingTestRom,
                         testing::Values(Expectation{"ppu/blargg_ppu_tests/palette_ram.nes", 600},
                                         Expectation{"ppu/blargg_ppu_tests/sprite_ram.nes", 600},
                                         Expectation{"ppu/blargg_ppu_tests/vram_access.nes", 600},
                                         Expectation{"ppu/sprite_hit_tests/01.basics.nes", 600},
                                         Expectation{"ppu/sprite_hit_tests/02.alignment.nes", 600},
                                         Expectation{"ppu/sprite_hit_tests/03.corners.nes", 600},
                                         Expectation{"ppu/sprite_hit_tests/04.flip.nes", 600},
                                         Expectation{"ppu/sprite_hit_tests/05.left_clip.nes", 600},
                                         Expectation{"ppu/sprite_hit_tests/06.right_edge.nes", 600},
                                         Expectation{"ppu/sprite_overflow_tests/1.Basics.nes", 600}),
                         RomName);

// The sound unit as the processor sees it; the reset tests ask for the reset button, which the runner
// presses as a person would.
INSTANTIATE_TEST_SUITE_P(ApuTests, PassingTestRom,
                         testing::Values(Expectation{"apu/apu_test/1-len_ctr.nes", 600},
                                         Expectation{"apu/apu_test/2-len_table.nes", 600},
                                         Expectation{"apu/apu_test/3-irq_flag.nes", 600},
                                         Expectation{"apu/apu_test/4-jitter.nes", 600},
                                         Expectation{"apu/apu_test/5-len_timing.nes", 600},
                                         Expectation{"apu/apu_test/6-irq_flag_timing.nes", 600},
                                         Expectation{"apu/apu_test/7-dmc_basics.nes", 600},
                                         Expectation{"apu/apu_test/8-dmc_rates.nes", 600},
                                         Expectation{"apu/apu_reset/4015_cleared.nes", 600},
                                         Expectation{"apu/apu_reset/4017_timing.nes", 600},
                                         Expectation{"apu/apu_reset/4017_written.nes", 600},
                                         Expectation{"apu/apu_reset/irq_flag_cleared.nes", 600},
                                         Expectation{"apu/apu_reset/len_ctrs_enabled.nes", 600},
                                         Expectation{"apu/apu_reset/works_immediately.nes", 600}),
                         RomName);

} // namespace
} // namespace Halvo
