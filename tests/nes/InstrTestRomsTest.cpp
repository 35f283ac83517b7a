#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Cpu.h"
#include "nes/Process.h"

namespace Halvo {
namespace {

const std::filesystem::path InstrTestRoms =
    std::filesystem::path(HALVO_TESTROMS_DIR) / "cpu" / "instr_test-v5";

// The instruction tests only need a processor: they check each opcode against many register, flag and
// memory values and write their verdict as text to work RAM at $6000. The machine here has the 32 KiB
// PRG at $8000, work RAM at $6000 and a PPU whose status register always reports vertical blank, so
// that the test shell's waits for the next frame end at once; nothing is drawn.
class InstrTestMachine {
public:
    explicit InstrTestMachine(const std::vector<std::uint8_t>& image)
        : process(Ref::New<Nes::Process>(nullptr)), prg(image.begin() + 16, image.begin() + 16 + 0x8000) {
        process->cpu = Nes::Cpu::Create("Static", process.Get());
        for (std::uint32_t page = 0; page < 16; ++page) {
            process->MapCpuPage(16 + page, prg.data() + page * Nes::Process::PageSize, nullptr);
        }
        for (std::uint32_t page = 0; page < 4; ++page) {
            std::uint8_t* data = wram.data() + page * Nes::Process::PageSize;
            process->MapCpuPage(12 + page, data, data);
        }
        for (std::uint32_t page = 4; page < 8; ++page) {
            process->readHandlers[page] = [](Nes::Process*, std::uint32_t address) -> std::uint8_t {
                return (address & 7) == 2 ? 0x80 : 0;
            };
        }
        process->cpu->Reset(true);
    }

    // Runs until the test reports a verdict or the frame limit passes; the status byte, or -1.
    int Run(int frames) {
        Nes::Cpu& cpu = *process->cpu;
        for (int line = 0; line < frames * 262; ++line) {
            cpu.counter += 341;
            cpu.target = 341;
            cpu.lineStart = cpu.counter;
            cpu.Execute(341);
            if (line % 262 == 0 && Finished()) {
                return wram[0];
            }
            if (cpu.jammed) {
                break;
            }
        }
        return -1;
    }

    bool Finished() const { return wram[1] == 0xDE && wram[2] == 0xB0 && wram[3] == 0x61 && wram[0] < 0x80; }

    std::string Text() const {
        std::string text;
        for (std::size_t index = 4; index < wram.size() && wram[index] != 0; ++index) {
            text += static_cast<char>(wram[index]);
        }
        return text;
    }

    Ref::Ptr<Nes::Process> process;
    std::vector<std::uint8_t> prg;
    std::array<std::uint8_t, 0x2000> wram{};
};

// The opcodes a test reports as failed: the lines of its text that start with two hex digits.
std::vector<std::string> FailedOpcodes(const std::string& text) {
    std::vector<std::string> failed;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(start, end - start);
        if (line.size() > 3 && std::isxdigit(static_cast<unsigned char>(line[0])) &&
            std::isxdigit(static_cast<unsigned char>(line[1])) && line[2] == ' ') {
            failed.push_back(line);
        }
        start = end + 1;
    }
    return failed;
}

class InstrTestRom : public testing::TestWithParam<const char*> {};

// Each program lists the opcodes it found wrong and ends with "Passed" when there are none.
TEST_P(InstrTestRom, PassesEveryOpcode) {
    const char* name = GetParam();
    std::ifstream file(InstrTestRoms / name, std::ios::binary);
    if (!file) {
        GTEST_SKIP() << name << " not found in " << InstrTestRoms;
    }
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    ASSERT_EQ(image.size(), 16u + 0x8000 + 0x2000);
    InstrTestMachine machine(image);
    const int status = machine.Run(3000);
    EXPECT_FALSE(machine.process->cpu->jammed) << "halted at $" << std::hex << machine.process->cpu->pc;
    ASSERT_NE(status, -1) << "no verdict; text so far:\n" << machine.Text();
    EXPECT_EQ(status, 0) << machine.Text();
    EXPECT_EQ(FailedOpcodes(machine.Text()), std::vector<std::string>{}) << machine.Text();
}

INSTANTIATE_TEST_SUITE_P(InstrTestV5, InstrTestRom,
                         testing::Values("01-basics.nes", "02-implied.nes", "03-immediate.nes",
                                         "04-zero_page.nes", "05-zp_xy.nes", "06-absolute.nes",
                                         "07-abs_xy.nes", "08-ind_x.nes", "09-ind_y.nes", "10-branches.nes",
                                         "11-stack.nes", "12-jmp_jsr.nes", "13-rts.nes", "14-rti.nes",
                                         "15-brk.nes", "16-special.nes"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return "Rom" + std::string(info.param).substr(0, 2);
                         });

} // namespace
} // namespace Halvo
