#include <cstdint>
#include <cstdio>
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

const std::filesystem::path CpuRoms = std::filesystem::path(HALVO_TESTROMS_DIR) / "cpu";

// nestest in its automation mode, started at $C000 without a PPU, steps through every documented and
// undocumented opcode it knows; the log is the register trace of a real console running it. Each line
// starts with PC and holds the registers before its instruction runs.
TEST(Nestest, StepsThroughTheGoldenTrace) {
    std::ifstream rom(CpuRoms / "nestest.nes", std::ios::binary);
    std::ifstream log(CpuRoms / "nestest.log");
    if (!rom || !log) {
        GTEST_SKIP() << "nestest.nes and nestest.log not found in " << CpuRoms;
    }
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(rom),
                                          std::istreambuf_iterator<char>()};
    constexpr std::size_t HeaderSize = 16;
    ASSERT_GE(image.size(), HeaderSize + 0x4000);

    Ref::Ptr<Nes::Process> process = Ref::New<Nes::Process>(nullptr);
    process->SetCpu(Nes::Cpu::Create("Static", process.Get()));
    // The one 16 KiB PRG bank answers at both $8000 and $C000, read-only.
    for (std::uint32_t page = 16; page < 32; ++page) {
        process->MapCpuPage(page, image.data() + HeaderSize + (page % 8) * Nes::Process::PageSize, nullptr);
    }
    Nes::Cpu& cpu = process->GetCpu();
    cpu.pc = 0xC000;
    cpu.p = 0x24;
    cpu.s = 0xFD;

    std::string line;
    int lineNumber = 0;
    while (std::getline(log, line)) {
        if (line.size() < 4) {
            continue;
        }
        ++lineNumber;
        char pc[12], registers[40];
        std::snprintf(pc, sizeof pc, "%04X", cpu.pc);
        std::snprintf(registers, sizeof registers, "A:%02X X:%02X Y:%02X P:%02X SP:%02X", cpu.a, cpu.x, cpu.y,
                      static_cast<std::uint8_t>(cpu.p), cpu.s);
        if (line.compare(0, 4, pc) != 0 || line.find(registers) == std::string::npos) {
            FAIL() << "trace line " << lineNumber << ": the processor has " << pc << " " << registers
                   << "\n  " << line;
        }
        cpu.Step();
    }
    EXPECT_EQ(lineNumber, 8991);
    // nestest leaves the number of its first failed test in $02 (documented) and $03 (undocumented).
    EXPECT_EQ(process->Ram()[2], 0);
    EXPECT_EQ(process->Ram()[3], 0);
    EXPECT_FALSE(cpu.jammed);
}

} // namespace
} // namespace Halvo
