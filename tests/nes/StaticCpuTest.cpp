#include "nes/StaticCpu.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nes/CpuHarness.h"

namespace Halvo {
namespace {

using TestSupport::CpuHarness;

struct Registers {
    std::uint8_t a = 0, x = 0, y = 0, p = 0x20, s = 0xFD;
};

struct Cell {
    std::uint16_t address;
    std::uint8_t value;
};

// One instruction: the program at $8000 (or `origin`), the registers and memory before it, and the
// registers, memory, program counter and cycle count after it.
struct InstructionCase {
    std::string name;
    std::vector<std::uint8_t> program;
    Registers before;
    std::vector<Cell> memory;
    Registers after;
    std::vector<Cell> expected;
    std::int32_t cycles;
    std::int32_t pc = -1; // -1: just past the program
    std::uint16_t origin = 0x8000;
};

class Instruction : public testing::TestWithParam<InstructionCase> {};

TEST_P(Instruction, ChangesRegistersMemoryAndTime) {
    const InstructionCase& test = GetParam();
    CpuHarness machine;
    machine.Load(test.program, test.origin);
    for (const Cell& cell : test.memory) {
        machine.Poke(cell.address, {cell.value});
    }
    Nes::Cpu& cpu = machine.Cpu();
    cpu.a = test.before.a;
    cpu.x = test.before.x;
    cpu.y = test.before.y;
    cpu.p = test.before.p;
    cpu.s = test.before.s;

    EXPECT_EQ(machine.Step(), test.cycles) << "cycles";
    const Registers& after = test.after;
    EXPECT_EQ(machine.Registers(), (std::array<int, 5>{after.a, after.x, after.y, after.s, after.p}))
        << "A X Y S P";
    const std::uint32_t pc = test.pc >= 0 ? static_cast<std::uint32_t>(test.pc)
                                          : test.origin + static_cast<std::uint32_t>(test.program.size());
    EXPECT_EQ(cpu.pc, pc) << "PC";
    for (const Cell& cell : test.expected) {
        EXPECT_EQ(machine.Peek(cell.address), cell.value) << "at $" << std::hex << cell.address;
    }
}

// Flags in P: N $80, V $40, bit 5 $20, B $10, D $08, I $04, Z $02, C $01.
// clang-format off
const InstructionCase Cases[] = {
    // Addressing: the wraps and the page-crossing costs.
    {"LDA ($FF),Y takes its pointer from $FF and $00", {0xB1, 0xFF}, {.y = 0}, {{0x00FF, 0x34}, {0x0000, 0x62}, {0x6234, 0x99}}, {.a = 0x99, .p = 0xA0}, {}, 5},
    {"LDA ($F0,X) wraps its pointer to $10", {0xA1, 0xF0}, {.x = 0x20}, {{0x0010, 0x00}, {0x0011, 0x63}, {0x6300, 0x42}}, {.a = 0x42, .x = 0x20}, {}, 7},
    {"LDA ($F0,X) without a wrap", {0xA1, 0xF0}, {.x = 0x05}, {{0x00F5, 0x00}, {0x00F6, 0x63}, {0x6300, 0x42}}, {.a = 0x42, .x = 0x05}, {}, 6},
    {"LDA $FFF0,X wraps to $0010", {0xBD, 0xF0, 0xFF}, {.x = 0x20}, {{0x0010, 0x01}}, {.a = 0x01, .x = 0x20}, {}, 5},
    {"LDA $6000,X", {0xBD, 0x00, 0x60}, {}, {{0x6000, 0x05}}, {.a = 0x05}, {}, 4},
    {"ORA $6000,X", {0x1D, 0x00, 0x60}, {}, {{0x6000, 0x01}}, {.a = 0x01}, {}, 5},
    {"ORA $60F0,X crossing", {0x1D, 0xF0, 0x60}, {.x = 0x20}, {{0x6110, 0x80}}, {.a = 0x80, .x = 0x20, .p = 0xA0}, {}, 6},
    {"LDA $60F0,Y crossing", {0xB9, 0xF0, 0x60}, {.y = 0x20}, {{0x6110, 0x80}}, {.a = 0x80, .y = 0x20, .p = 0xA0}, {}, 5},
    {"LDA ($10),Y crossing", {0xB1, 0x10}, {.y = 0x20}, {{0x0010, 0xF0}, {0x0011, 0x62}, {0x6310, 0x01}}, {.a = 0x01, .y = 0x20}, {}, 6},
    {"STA $62F0,Y", {0x99, 0xF0, 0x62}, {.a = 0x55, .y = 0x05}, {}, {.a = 0x55, .y = 0x05}, {{0x62F5, 0x55}}, 5},
    {"STA $62F0,Y crossing", {0x99, 0xF0, 0x62}, {.a = 0x55, .y = 0x20}, {}, {.a = 0x55, .y = 0x20}, {{0x6310, 0x55}}, 6},
    {"STA ($10),Y crossing", {0x91, 0x10}, {.a = 0x55, .y = 0x20}, {{0x0010, 0xF0}, {0x0011, 0x62}}, {.a = 0x55, .y = 0x20}, {{0x6310, 0x55}}, 7},
    {"STA ($F0,X) wrapping", {0x81, 0xF0}, {.a = 0x55, .x = 0x20}, {{0x0010, 0x00}, {0x0011, 0x63}}, {.a = 0x55, .x = 0x20}, {{0x6300, 0x55}}, 7},
    {"ASL $62F0,X crossing", {0x1E, 0xF0, 0x62}, {.x = 0x20}, {{0x6310, 0x81}}, {.x = 0x20, .p = 0x21}, {{0x6310, 0x02}}, 8},
    {"INC $6200,X", {0xFE, 0x00, 0x62}, {}, {{0x6200, 0xFF}}, {.p = 0x22}, {{0x6200, 0x00}}, 7},
    {"JMP ($60FF) takes its high byte from $6000", {0x6C, 0xFF, 0x60}, {}, {{0x60FF, 0x34}, {0x6000, 0x12}, {0x6100, 0x56}}, {}, {}, 5, 0x1234},
    // The stack, the flags it carries and the B bit.
    {"JSR with S = 0 wraps the stack", {0x20, 0x34, 0x12}, {.s = 0x00}, {}, {.s = 0xFE}, {{0x0100, 0x80}, {0x01FF, 0x02}}, 6, 0x1234},
    {"RTS with S = $FF wraps the stack", {0x60}, {.s = 0xFF}, {{0x0100, 0x02}, {0x0101, 0x80}}, {.s = 0x01}, {}, 6, 0x8003},
    {"RTI loads every flag but B", {0x40}, {.s = 0xFA}, {{0x01FB, 0xFF}, {0x01FC, 0x34}, {0x01FD, 0x12}}, {.p = 0xEF}, {}, 6, 0x1234},
    {"PLP loads every flag but B", {0x28}, {.s = 0xFC}, {{0x01FD, 0xFF}}, {.p = 0xEF}, {}, 4},
    {"PHP after a hard reset pushes B and bit 5", {0x08}, {.p = 0x26}, {}, {.p = 0x26, .s = 0xFC}, {{0x01FD, 0x36}}, 3},
    {"BRK pushes B set, masks IRQs and keeps D", {0x00, 0xFF}, {.p = 0xE9}, {}, {.p = 0xED, .s = 0xFA}, {{0x01FD, 0x80}, {0x01FC, 0x02}, {0x01FB, 0xF9}}, 7, 0x9000},
    // No decimal mode: D changes nothing in the arithmetic.
    {"ADC ignores D", {0x69, 0x01}, {.a = 0x09, .p = 0x28}, {}, {.a = 0x0A, .p = 0x28}, {}, 2},
    {"SBC with borrow in, D set", {0xE9, 0x01}, {.a = 0x10, .p = 0x28}, {}, {.a = 0x0E, .p = 0x29}, {}, 2},
    // Undocumented opcodes: the costs of each class, and the unstable ones no test program covers.
    {"SLO abs,Y crossing", {0x1B, 0xF0, 0x62}, {.a = 0x00, .y = 0x20}, {{0x6310, 0x40}}, {.a = 0x80, .y = 0x20, .p = 0xA0}, {{0x6310, 0x80}}, 8},
    {"DCP (zp),Y crossing", {0xD3, 0x10}, {.a = 0x10, .y = 0x20}, {{0x0010, 0xF0}, {0x0011, 0x62}, {0x6310, 0x11}}, {.a = 0x10, .y = 0x20, .p = 0x23}, {{0x6310, 0x10}}, 9},
    {"ISC (zp,X) wrapping", {0xE3, 0xF0}, {.a = 0x20, .x = 0x20, .p = 0x21}, {{0x0010, 0x00}, {0x0011, 0x63}, {0x6300, 0x0F}}, {.a = 0x10, .x = 0x20, .p = 0x21}, {{0x6300, 0x10}}, 9},
    {"SAX zp,Y", {0x97, 0xF0}, {.a = 0xF0, .x = 0x3C, .y = 0x20}, {}, {.a = 0xF0, .x = 0x3C, .y = 0x20}, {{0x0010, 0x30}}, 4},
    {"LAX abs,Y crossing", {0xBF, 0xF0, 0x62}, {.y = 0x20}, {{0x6310, 0x01}}, {.a = 0x01, .x = 0x01, .y = 0x20}, {}, 5},
    {"XAA", {0x8B, 0xFF}, {.a = 0x00, .x = 0x0F}, {}, {.a = 0x0E, .x = 0x0F}, {}, 2},
    {"LAS", {0xBB, 0x00, 0x62}, {.s = 0xF3}, {{0x6200, 0x3F}}, {.a = 0x33, .x = 0x33, .s = 0x33}, {}, 5},
    {"LAS crossing", {0xBB, 0xF0, 0x62}, {.y = 0x20, .s = 0xF3}, {{0x6310, 0x3F}}, {.a = 0x33, .x = 0x33, .y = 0x20, .s = 0x33}, {}, 6},
    {"TAS", {0x9B, 0x00, 0x62}, {.a = 0xFF, .x = 0xF7}, {}, {.a = 0xFF, .x = 0xF7, .s = 0xF7}, {{0x6200, 0x63}}, 5},
    {"SHY crossing takes the base page", {0x9C, 0xF0, 0x62}, {.x = 0x20, .y = 0xFF}, {}, {.x = 0x20, .y = 0xFF}, {{0x6310, 0x63}}, 6},
    {"AHX abs,Y", {0x9F, 0x00, 0x62}, {.a = 0xFF, .x = 0xF1}, {}, {.a = 0xFF, .x = 0xF1}, {{0x6200, 0x61}}, 5},
    {"AHX (zp),Y", {0x93, 0x10}, {.a = 0xFF, .x = 0xF1}, {{0x0010, 0x00}, {0x0011, 0x62}}, {.a = 0xFF, .x = 0xF1}, {{0x6200, 0x61}}, 6},
    {"NOP immediate", {0x80, 0xFF}, {}, {}, {}, {}, 2},
    {"NOP zero page", {0x04, 0x10}, {}, {}, {}, {}, 3},
    {"NOP zero page,X", {0x14, 0x10}, {}, {}, {}, {}, 4},
    {"NOP absolute,X never pays for a crossing", {0x1C, 0xF0, 0x62}, {.x = 0x20}, {}, {.x = 0x20}, {}, 5},
    {"NOP implied", {0x1A}, {}, {}, {}, {}, 2},
    {"BNE taken across a page", {0xD0, 0x10}, {}, {}, {}, {}, 4, 0x6102, 0x60F0},
    {"BNE taken within the page", {0xD0, 0x05}, {}, {}, {}, {}, 3, 0x60F7, 0x60F0},
    {"BNE not taken", {0xD0, 0x10}, {.p = 0x22}, {}, {.p = 0x22}, {}, 2, 0x60F2, 0x60F0},
    {"BEQ taken backwards across a page", {0xF0, 0xFC}, {.p = 0x22}, {}, {.p = 0x22}, {}, 4, 0x5FFE, 0x6000},
    {"BNE across $FFFF", {0xD0, 0x7F}, {}, {}, {}, {}, 4, 0x0071, 0xFFF0},
};
// clang-format on

std::string CaseName(const testing::TestParamInfo<InstructionCase>& info) {
    std::string name;
    for (char character : info.param.name) {
        name += std::isalnum(static_cast<unsigned char>(character)) ? character : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(StaticCpu, Instruction, testing::ValuesIn(Cases), CaseName);

int handlerCalls = 0;

// Maps a page to handlers that only count their calls.
void CountHandlerCalls(CpuHarness& machine, std::uint32_t page) {
    handlerCalls = 0;
    machine.process->MapCpuPage(page, nullptr, nullptr);
    machine.process->SetCpuReadHandler(page, [](Nes::Process*, std::uint32_t) -> std::uint8_t {
        ++handlerCalls;
        return 0;
    });
    machine.process->SetCpuWriteHandler(page,
                                        [](Nes::Process*, std::uint32_t, std::uint8_t) { ++handlerCalls; });
}

// $0C is a three-byte no-operation: its operand is skipped, not executed and not read. Nor do the
// other no-operations with operands read them (a read of $2002 would clear the PPU's status).
TEST(StaticCpu, NopsSkipTheirOperandsWithoutReadingThem) {
    CpuHarness machine;
    CountHandlerCalls(machine, 4);
    machine.Load({0x0C, 0x02, 0x20, 0xA9, 0x05, 0x04, 0x10, 0x1C, 0x02, 0x20});
    EXPECT_EQ(machine.Step(), 4);
    EXPECT_EQ(machine.Cpu().pc, 0x8003u);
    machine.Step();
    EXPECT_EQ(machine.Cpu().a, 0x05);
    machine.Step();
    machine.Step();
    EXPECT_EQ(machine.Cpu().pc, 0x800Au);
    EXPECT_EQ(handlerCalls, 0);
}

} // namespace
} // namespace Halvo
