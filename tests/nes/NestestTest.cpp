#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Cpu.h"
#include "nes/Process.h"

namespace Halvo {
namespace {

const std::filesystem::path CpuRoms = std::filesystem::path(HALVO_TESTROMS_DIR) / "cpu";

// The registers a line of the golden trace expects before its instruction runs.
struct TraceLine {
    std::uint32_t pc = 0;
    std::uint32_t a = 0;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t p = 0;
    std::uint32_t s = 0;
};

std::uint32_t HexField(const std::string& line, const std::string& label) {
    const std::size_t at = line.find(" " + label);
    return at == std::string::npos ? 0xFFFF : std::stoul(line.substr(at + 1 + label.size(), 2), nullptr, 16);
}

TraceLine ParseTraceLine(const std::string& line) {
    TraceLine expected;
    expected.pc = std::stoul(line.substr(0, 4), nullptr, 16);
    expected.a = HexField(line, "A:");
    expected.x = HexField(line, "X:");
    expected.y = HexField(line, "Y:");
    expected.p = HexField(line, "P:");
    expected.s = HexField(line, "SP:");
    return expected;
}

std::string Describe(const TraceLine& state) {
    std::ostringstream text;
    text << std::hex << std::uppercase << "PC:" << state.pc << " A:" << state.a << " X:" << state.x
         << " Y:" << state.y << " P:" << state.p << " SP:" << state.s;
    return text.str();
}

// nestest in its automation mode, started at $C000 without a PPU, steps through every documented and
// undocumented opcode it knows; the log is the register trace of a real console running it.
TEST(Nestest, StepsThroughTheGoldenTrace) {
    std::ifstream rom(CpuRoms / "nestest.nes", std::ios::binary);
    std::ifstream log(CpuRoms / "nestest.log");
    if (!rom || !log) {
        GTEST_SKIP() << "nestest.nes and nestest.log not found in " << CpuRoms;
    }
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(rom),
                                          std::istreambuf_iterator<char>()};
    constexpr std::size_t HeaderSize = 16;
    constexpr std::size_t PrgSize = 0x4000;
    ASSERT_GE(image.size(), HeaderSize + PrgSize);

    Ref::Ptr<Nes::Process> process = Ref::New<Nes::Process>(nullptr);
    process->cpu = Nes::Cpu::Create("Static", process.Get());
    // The one 16 KiB PRG bank answers at both $8000 and $C000, read-only.
    for (std::uint32_t page = 16; page < 32; ++page) {
        process->MapCpuPage(page, image.data() + HeaderSize + (page % 8) * Nes::Process::PageSize, nullptr);
    }
    Nes::Cpu& cpu = *process->cpu;
    cpu.pc = 0xC000;
    cpu.a = cpu.x = cpu.y = 0;
    cpu.p = 0x24;
    cpu.s = 0xFD;

    std::string line;
    int lineNumber = 0;
    while (std::getline(log, line)) {
        if (line.size() < 4) {
            continue;
        }
        ++lineNumber;
        const TraceLine expected = ParseTraceLine(line);
        const TraceLine actual{cpu.pc, cpu.a, cpu.x, cpu.y, cpu.p, cpu.s};
        if (actual.pc != expected.pc || actual.a != expected.a || actual.x != expected.x ||
            actual.y != expected.y || actual.p != expected.p || actual.s != expected.s) {
            FAIL() << "trace line " << lineNumber << " expects " << Describe(expected) << ", processor has "
                   << Describe(actual) << "\n  " << line;
        }
        cpu.Step();
    }
    EXPECT_EQ(lineNumber, 8991);
    // nestest leaves the number of its first failed test in $02 (documented) and $03 (undocumented).
    EXPECT_EQ(process->ram[2], 0);
    EXPECT_EQ(process->ram[3], 0);
    EXPECT_FALSE(cpu.jammed);
}

} // namespace
} // namespace Halvo
