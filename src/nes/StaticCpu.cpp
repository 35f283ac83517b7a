#include "nes/StaticCpu.h"

#include <algorithm>

#include "nes/StaticCpuCore.h"
#include "nes/debug/Debugger.h"

// Once the sanitizers have instrumented every memory access, GCC's points-to analysis of the fully
// inlined interpreter loop takes minutes; sanitized builds are for checking, not for speed.
#if defined(__SANITIZE_ADDRESS__) && !defined(__clang__)
#pragma GCC optimize("no-tree-pta")
#endif

namespace Halvo::Nes {

// One opcode: run its body in its addressing mode, charge its base cost, and go on to the next opcode
// from here while the budget lasts. The mode adds the cycle for an index carrying into the high byte or
// a (zp,X) pointer wrapping past $FF; branches add their own.
// clang-format off
#define HALVO_OPCODE_CASE(code, body, mode, cycles) \
    Op##code:                                       \
        core.body<AddressMode::mode>();             \
        core.counter -= (cycles) * DotsPerCycle;    \
        if (core.counter <= stop) {                 \
            goto finished;                          \
        }                                           \
        HALVO_DISPATCH;
#define HALVO_OPCODE_UNPACK(...) __VA_ARGS__
#define HALVO_OPCODE_EXPAND(...) HALVO_OPCODE_CASE(__VA_ARGS__)
#define HALVO_OPCODE(code, entry) HALVO_OPCODE_EXPAND(code, HALVO_OPCODE_UNPACK entry)
// A row of the grid: the 16 opcodes whose high nibble is `high`, each as (body, mode, cycles).
#define HALVO_OPCODE_ROW(high, e0, e1, e2, e3, e4, e5, e6, e7, e8, e9, eA, eB, eC, eD, eE, eF) \
    HALVO_OPCODE(high##0, e0) HALVO_OPCODE(high##1, e1) HALVO_OPCODE(high##2, e2) HALVO_OPCODE(high##3, e3) \
    HALVO_OPCODE(high##4, e4) HALVO_OPCODE(high##5, e5) HALVO_OPCODE(high##6, e6) HALVO_OPCODE(high##7, e7) \
    HALVO_OPCODE(high##8, e8) HALVO_OPCODE(high##9, e9) HALVO_OPCODE(high##A, eA) HALVO_OPCODE(high##B, eB) \
    HALVO_OPCODE(high##C, eC) HALVO_OPCODE(high##D, eD) HALVO_OPCODE(high##E, eE) HALVO_OPCODE(high##F, eF)
// The jump table's row for the same 16 opcodes.
#define HALVO_LABEL_ROW(high) \
    &&Op##high##0, &&Op##high##1, &&Op##high##2, &&Op##high##3, &&Op##high##4, &&Op##high##5, &&Op##high##6, \
    &&Op##high##7, &&Op##high##8, &&Op##high##9, &&Op##high##A, &&Op##high##B, &&Op##high##C, &&Op##high##D, \
    &&Op##high##E, &&Op##high##F
// Fetches the opcode at PC and jumps to its body.
#define HALVO_DISPATCH goto* dispatch[core.Fetch()]
// clang-format on

StaticCpu::StaticCpu(Process* process, const Cpu* previous) : Cpu(process, previous) {}

// The interpreter loop, the only place the instruction bodies are expanded. The budget is checked after
// each instruction, so the last one may overshoot `target`. Each opcode ends in a jump of its own to the
// next one (through a table of label addresses, an extension GCC and Clang share), so the host's branch
// predictor learns what usually follows what.
//
// The 256 opcodes. Names are the usual mnemonics (undocumented ones included); halts are Jam. Costs
// are the cycle counts of the NMOS 6502 with these departures: ORA, AND, EOR, ADC, CMP and SBC abs,X
// take 5; LAS takes 5; the NOP abs,X forms take 5 and never pay for a page crossing; every other
// indexed form, stores and read-modify-writes included, pays one more cycle when its index crosses a
// page. $0C is the three-byte NOP absolute (nestest runs it at $C6C9 with a two-byte operand).
void StaticCpu::Execute(std::int32_t dots) {
    static const void* const dispatch[256] = {
        HALVO_LABEL_ROW(0x0), HALVO_LABEL_ROW(0x1), HALVO_LABEL_ROW(0x2), HALVO_LABEL_ROW(0x3),
        HALVO_LABEL_ROW(0x4), HALVO_LABEL_ROW(0x5), HALVO_LABEL_ROW(0x6), HALVO_LABEL_ROW(0x7),
        HALVO_LABEL_ROW(0x8), HALVO_LABEL_ROW(0x9), HALVO_LABEL_ROW(0xA), HALVO_LABEL_ROW(0xB),
        HALVO_LABEL_ROW(0xC), HALVO_LABEL_ROW(0xD), HALVO_LABEL_ROW(0xE), HALVO_LABEL_ROW(0xF),
    };
    target -= dots;
    // Already ahead of this slice: an earlier instruction or a DMA stall ran past it.
    if (counter <= target) {
        return;
    }
    // While the debugger watches, the run goes one instruction at a time (and the rest of it, should
    // the debugger stop watching on the way, as usual).
    if (debugger) [[unlikely]] {
        RunWatched();
        if (counter <= target) {
            return;
        }
    }
    // A run that reaches a board's IRQ cycle before the end of the slice stops there, lets the board
    // raise its line (which may enter the interrupt) and goes on.
run:
    // An IRQ raised while I was clear, between runs or by the last instruction, is entered here.
    PollIrq();
    stop = std::max(target, irqAt);
    StaticCpuCore core(*this);
    // The opcode found when the last run ended, if it is still the one at PC (an interrupt, a reset or
    // a bank switch may have changed either).
    if (pc == nextPc) {
        const std::uint8_t* page = process->readPages[pc >> Process::PageShift];
        if (page && page[pc & Process::PageMask] == nextOpcode) [[likely]] {
            ++core.pc;
            goto* nextBody;
        }
    }
    HALVO_DISPATCH;
    // clang-format off
    //                    x0            x1            x2            x3            x4            x5            x6            x7            x8            x9            xA            xB            xC            xD            xE            xF
    HALVO_OPCODE_ROW(0x0, (Brk,Imp,7),  (Ora,Izx,6),  (Jam,Imp,2),  (Slo,Izx,8),  (Nop,Zp ,3),  (Ora,Zp ,3),  (Asl,Zp ,5),  (Slo,Zp ,5),  (Php,Imp,3),  (Ora,Imm,2),  (Asl,Acc,2),  (Anc,Imm,2),  (Nop,Abs,4),  (Ora,Abs,4),  (Asl,Abs,6),  (Slo,Abs,6))
    HALVO_OPCODE_ROW(0x1, (Bpl,Rel,2),  (Ora,Izy,5),  (Jam,Imp,2),  (Slo,Izy,8),  (Nop,Zpx,4),  (Ora,Zpx,4),  (Asl,Zpx,6),  (Slo,Zpx,6),  (Clc,Imp,2),  (Ora,Aby,4),  (Nop,Imp,2),  (Slo,Aby,7),  (Nop,Abx,5),  (Ora,Abx,5),  (Asl,Abx,7),  (Slo,Abx,7))
    HALVO_OPCODE_ROW(0x2, (Jsr,Abs,6),  (And,Izx,6),  (Jam,Imp,2),  (Rla,Izx,8),  (Bit,Zp ,3),  (And,Zp ,3),  (Rol,Zp ,5),  (Rla,Zp ,5),  (Plp,Imp,4),  (And,Imm,2),  (Rol,Acc,2),  (Anc,Imm,2),  (Bit,Abs,4),  (And,Abs,4),  (Rol,Abs,6),  (Rla,Abs,6))
    HALVO_OPCODE_ROW(0x3, (Bmi,Rel,2),  (And,Izy,5),  (Jam,Imp,2),  (Rla,Izy,8),  (Nop,Zpx,4),  (And,Zpx,4),  (Rol,Zpx,6),  (Rla,Zpx,6),  (Sec,Imp,2),  (And,Aby,4),  (Nop,Imp,2),  (Rla,Aby,7),  (Nop,Abx,5),  (And,Abx,5),  (Rol,Abx,7),  (Rla,Abx,7))
    HALVO_OPCODE_ROW(0x4, (Rti,Imp,6),  (Eor,Izx,6),  (Jam,Imp,2),  (Sre,Izx,8),  (Nop,Zp ,3),  (Eor,Zp ,3),  (Lsr,Zp ,5),  (Sre,Zp ,5),  (Pha,Imp,3),  (Eor,Imm,2),  (Lsr,Acc,2),  (Alr,Imm,2),  (Jmp,Abs,3),  (Eor,Abs,4),  (Lsr,Abs,6),  (Sre,Abs,6))
    HALVO_OPCODE_ROW(0x5, (Bvc,Rel,2),  (Eor,Izy,5),  (Jam,Imp,2),  (Sre,Izy,8),  (Nop,Zpx,4),  (Eor,Zpx,4),  (Lsr,Zpx,6),  (Sre,Zpx,6),  (Cli,Imp,2),  (Eor,Aby,4),  (Nop,Imp,2),  (Sre,Aby,7),  (Nop,Abx,5),  (Eor,Abx,5),  (Lsr,Abx,7),  (Sre,Abx,7))
    HALVO_OPCODE_ROW(0x6, (Rts,Imp,6),  (Adc,Izx,6),  (Jam,Imp,2),  (Rra,Izx,8),  (Nop,Zp ,3),  (Adc,Zp ,3),  (Ror,Zp ,5),  (Rra,Zp ,5),  (Pla,Imp,4),  (Adc,Imm,2),  (Ror,Acc,2),  (Arr,Imm,2),  (Jmp,Ind,5),  (Adc,Abs,4),  (Ror,Abs,6),  (Rra,Abs,6))
    HALVO_OPCODE_ROW(0x7, (Bvs,Rel,2),  (Adc,Izy,5),  (Jam,Imp,2),  (Rra,Izy,8),  (Nop,Zpx,4),  (Adc,Zpx,4),  (Ror,Zpx,6),  (Rra,Zpx,6),  (Sei,Imp,2),  (Adc,Aby,4),  (Nop,Imp,2),  (Rra,Aby,7),  (Nop,Abx,5),  (Adc,Abx,5),  (Ror,Abx,7),  (Rra,Abx,7))
    HALVO_OPCODE_ROW(0x8, (Nop,Imm,2),  (Sta,Izx,6),  (Nop,Imm,2),  (Sax,Izx,6),  (Sty,Zp ,3),  (Sta,Zp ,3),  (Stx,Zp ,3),  (Sax,Zp ,3),  (Dey,Imp,2),  (Nop,Imm,2),  (Txa,Imp,2),  (Xaa,Imm,2),  (Sty,Abs,4),  (Sta,Abs,4),  (Stx,Abs,4),  (Sax,Abs,4))
    HALVO_OPCODE_ROW(0x9, (Bcc,Rel,2),  (Sta,Izy,6),  (Jam,Imp,2),  (Ahx,Izy,6),  (Sty,Zpx,4),  (Sta,Zpx,4),  (Stx,Zpy,4),  (Sax,Zpy,4),  (Tya,Imp,2),  (Sta,Aby,5),  (Txs,Imp,2),  (Tas,Aby,5),  (Shy,Abx,5),  (Sta,Abx,5),  (Shx,Aby,5),  (Ahx,Aby,5))
    HALVO_OPCODE_ROW(0xA, (Ldy,Imm,2),  (Lda,Izx,6),  (Ldx,Imm,2),  (Lax,Izx,6),  (Ldy,Zp ,3),  (Lda,Zp ,3),  (Ldx,Zp ,3),  (Lax,Zp ,3),  (Tay,Imp,2),  (Lda,Imm,2),  (Tax,Imp,2),  (Lxa,Imm,2),  (Ldy,Abs,4),  (Lda,Abs,4),  (Ldx,Abs,4),  (Lax,Abs,4))
    HALVO_OPCODE_ROW(0xB, (Bcs,Rel,2),  (Lda,Izy,5),  (Jam,Imp,2),  (Lax,Izy,5),  (Ldy,Zpx,4),  (Lda,Zpx,4),  (Ldx,Zpy,4),  (Lax,Zpy,4),  (Clv,Imp,2),  (Lda,Aby,4),  (Tsx,Imp,2),  (Las,Aby,5),  (Ldy,Abx,4),  (Lda,Abx,4),  (Ldx,Aby,4),  (Lax,Aby,4))
    HALVO_OPCODE_ROW(0xC, (Cpy,Imm,2),  (Cmp,Izx,6),  (Nop,Imm,2),  (Dcp,Izx,8),  (Cpy,Zp ,3),  (Cmp,Zp ,3),  (Dec,Zp ,5),  (Dcp,Zp ,5),  (Iny,Imp,2),  (Cmp,Imm,2),  (Dex,Imp,2),  (Axs,Imm,2),  (Cpy,Abs,4),  (Cmp,Abs,4),  (Dec,Abs,6),  (Dcp,Abs,6))
    HALVO_OPCODE_ROW(0xD, (Bne,Rel,2),  (Cmp,Izy,5),  (Jam,Imp,2),  (Dcp,Izy,8),  (Nop,Zpx,4),  (Cmp,Zpx,4),  (Dec,Zpx,6),  (Dcp,Zpx,6),  (Cld,Imp,2),  (Cmp,Aby,4),  (Nop,Imp,2),  (Dcp,Aby,7),  (Nop,Abx,5),  (Cmp,Abx,5),  (Dec,Abx,7),  (Dcp,Abx,7))
    HALVO_OPCODE_ROW(0xE, (Cpx,Imm,2),  (Sbc,Izx,6),  (Nop,Imm,2),  (Isc,Izx,8),  (Cpx,Zp ,3),  (Sbc,Zp ,3),  (Inc,Zp ,5),  (Isc,Zp ,5),  (Inx,Imp,2),  (Sbc,Imm,2),  (Nop,Imp,2),  (Sbc,Imm,2),  (Cpx,Abs,4),  (Sbc,Abs,4),  (Inc,Abs,6),  (Isc,Abs,6))
    HALVO_OPCODE_ROW(0xF, (Beq,Rel,2),  (Sbc,Izy,5),  (Jam,Imp,2),  (Isc,Izy,8),  (Nop,Zpx,4),  (Sbc,Zpx,4),  (Inc,Zpx,6),  (Isc,Zpx,6),  (Sed,Imp,2),  (Sbc,Aby,4),  (Nop,Imp,2),  (Isc,Aby,7),  (Nop,Abx,5),  (Sbc,Abx,5),  (Inc,Abx,7),  (Isc,Abx,7))
    // clang-format on
finished:
    core.Finish();
    // The next opcode is only remembered from storage; a register page is read when it is executed.
    const std::uint8_t* page = process->readPages[pc >> Process::PageShift];
    nextPc = page ? pc : ~0u;
    nextOpcode = page ? page[pc & Process::PageMask] : 0;
    nextBody = dispatch[nextOpcode];
    if (counter <= irqAt) [[unlikely]] {
        process->RunBoardIrq();
    }
    if (counter > target) [[unlikely]] {
        goto run;
    }
}

#undef HALVO_DISPATCH
#undef HALVO_LABEL_ROW
#undef HALVO_OPCODE_ROW
#undef HALVO_OPCODE
#undef HALVO_OPCODE_EXPAND
#undef HALVO_OPCODE_UNPACK
#undef HALVO_OPCODE_CASE

void StaticCpu::RunWatched() {
    while (counter > target && debugger) {
        // The IRQ is entered here rather than inside the step below, so that the debugger sees the
        // handler's first instruction as the one about to run.
        if (irqInputs && !(p.bdi & StatusRegister::FlagI) && !jammed) {
            EnterInterrupt(IrqVector);
            debugger->OnInterrupt(IrqVector);
        }
        // The debugger may stop the machine here, and stop watching before it goes on.
        debugger->BeforeInstruction();
        Debugger* const watching = debugger;
        debugger = nullptr;
        Step();
        debugger = watching;
    }
}

// Exactly one instruction: a run whose target lies one dot below the counter ends after the first
// instruction, since every instruction costs at least two cycles. The real target is kept aside.
void StaticCpu::Step() {
    const std::int32_t slice = target;
    target = counter - 1;
    Execute(0);
    target = slice;
}

} // namespace Halvo::Nes
