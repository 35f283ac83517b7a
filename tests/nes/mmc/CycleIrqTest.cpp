#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Process.h"
#include "nes/mmc/Cartridge.h"

namespace Halvo {
namespace {

using TestSupport::Cartridge;
using Code = std::vector<std::uint8_t>;
using Writes = TestSupport::Events;
using Values = std::vector<std::int64_t>;

// Every read of $4800-$4FFF records the processor cycle at which the reading instruction began, the
// cycle of the board's next IRQ, and the PPU's line.
struct Probed {
    std::int64_t cycle;
    std::int64_t nextIrq;
    std::int64_t line;
};
std::vector<Probed> probed;
std::uint8_t Probe(Nes::Process* process, std::uint32_t) {
    probed.push_back({static_cast<std::int64_t>(process->CpuCycle()),
                      static_cast<std::int64_t>(process->BoardIrqCycle()), process->GetPpu().scanline});
    return 0;
}

constexpr std::uint32_t ProbePage = 0x4800 >> Nes::Process::PageShift;

struct IrqCase {
    const char* what;
    const char* board;
    Writes setup;
    std::pair<std::uint16_t, std::uint8_t> last;
    Code acknowledge;
    // Per probe in the handler its cycle and the board's next IRQ cycle, or its line: all of the frame's,
    // or the first ones where the IRQ repeats.
    Values expected;
    bool repeats = false;
    bool lines = false; // the PPU lines of the probes rather than their cycles
};

// A program in the fixed last page ($E000): CLI, the setup writes, then LDA #value, LDX $4800 (the
// first probe, at cycle R) and STA of the last write, which therefore begins at R + 4; then a sled of
// two-cycle NOPs. The IRQ handler probes $4800 (7 cycles after the instruction boundary where the IRQ
// was taken), acknowledges and returns. One frame with rendering on; the probes after the first, their
// cycles less R.
Values IrqProbes(const IrqCase& irqCase) {
    auto image = TestSupport::MakeImage(8, 8, irqCase.board);
    std::uint8_t* page = image->prgRom.get() + 15 * 8192;
    std::memset(page, 0xEA, 8192);
    Code code = TestSupport::Stores(irqCase.setup);
    code.insert(code.begin(), 0x58);
    code.insert(code.end(), {0xA9, irqCase.last.second, 0xAE, 0x00, 0x48, 0x8D,
                             static_cast<std::uint8_t>(irqCase.last.first),
                             static_cast<std::uint8_t>(irqCase.last.first >> 8)});
    std::memcpy(page, code.data(), code.size());
    // The sled runs from $E080 to a jump back there at $EFFD; the handler is at $F000.
    const std::uint8_t sledEnd[] = {0x4C, 0x80, 0xE0};
    std::memcpy(page + 0x0FFD, sledEnd, sizeof sledEnd);
    Code handler = {0xAD, 0x00, 0x48};
    handler.insert(handler.end(), irqCase.acknowledge.begin(), irqCase.acknowledge.end());
    handler.push_back(0x40);
    std::memcpy(page + 0x1000, handler.data(), handler.size());
    const std::uint8_t vectors[] = {0x00, 0xE0, 0x00, 0xE0, 0x00, 0xF0};
    std::memcpy(page + 0x1FFA, vectors, sizeof vectors);

    Cartridge cartridge(std::move(image));
    Nes::Process& process = *cartridge.machine.process;
    process.MapCpuPage(ProbePage, nullptr, nullptr);
    process.SetCpuReadHandler(ProbePage, Probe);
    process.GetPpu().Reset(true);
    process.GetPpu().mask = Nes::Ppu::MaskRendering;
    process.GetCpu().Reset(true);
    probed.clear();
    process.GetPpu().RunFrame(false);
    Values found;
    for (std::size_t i = 1; i < probed.size(); ++i) {
        if (irqCase.lines) {
            found.push_back(probed[i].line);
        } else {
            found.push_back(probed[i].cycle - probed[0].cycle);
            found.push_back(probed[i].nextIrq - probed[0].cycle);
        }
    }
    return found;
}

const Code AcknowledgeVrc4 = {0xA9, 0x00, 0x8D, 0x03, 0xF0}; // STA $F003
const Code AcknowledgeFme7 = {0xA9, 0x81, 0x8D, 0x00, 0xA0}; // register D again
const Code AcknowledgeMmc5 = {0xAD, 0x04, 0x52};             // LDA $5204
const Code DisableBandai = {0xA9, 0x00, 0x8D, 0x0A, 0x80};   // $800A = 0
const Code DisableSs88006 = {0xA9, 0x00, 0x8D, 0x01, 0xF0};  // $F001 = 0
const Code AcknowledgeVrc3 = {0x8D, 0x00, 0xD0};             // STA $D000
const Code DisableRambo1 = {0x8D, 0x00, 0xE0};               // STA $E000
const Code AcknowledgeVrc6 = {0xA9, 0x00, 0x8D, 0x02, 0xF0}; // STA $F002
const Code AcknowledgeVrc7 = {0xA9, 0x00, 0x8D, 0x10, 0xF0}; // STA $F010

// The write that starts the count begins at cycle 4, the sled's instruction boundaries follow 2 cycles
// apart from cycle 8. The IRQ is taken at the first boundary at or after the cycle its line rises, and
// the handler's probe reads 7 cycles later; the handler returns 23 cycles after that boundary. The
// next IRQ cycle is exact.
// clang-format off
const IrqCase Cases[] = {
    // The FME-7's counter N wraps with the (N + 1)th decrement: the line rises at 4 + 101.
    {"FME-7 counter 100", "JLROM", {{0x8000, 0x0E}, {0xA000, 100}, {0x8000, 0x0F}, {0xA000, 0}, {0x8000, 0x0D}},
     {0xA000, 0x81}, AcknowledgeFme7, {4 + 102 + 7, 4 + 101 + 65536}},
    {"FME-7 counter stopped", "JLROM", {{0x8000, 0x0E}, {0xA000, 100}, {0x8000, 0x0D}}, {0xA000, 0x01}, {}, {}},
    {"FME-7 IRQ disabled", "JLROM", {{0x8000, 0x0E}, {0xA000, 100}, {0x8000, 0x0D}}, {0xA000, 0x80}, {}, {}},
    // The VRC4 in cycle mode counts from the latch $C0 up: 64 cycles a period, reloaded at the wrap.
    {"VRC4 cycle mode, latch $C0", "VRC4F", {{0xF000, 0x00}, {0xF001, 0x0C}}, {0xF002, 0x07}, AcknowledgeVrc4,
     {4 + 64 + 7, 4 + 128, 4 + 64 + 65 + 7, 4 + 192}, true},
    // In scanline mode two lines of 113 2/3 cycles rise at 228; the prescaler, 2 dots ahead at the
    // rise, brings the next two lines at 227 cycles, and then, 1 dot ahead, the two after at 227.
    {"VRC4 scanline mode, latch $FE", "VRC4F", {{0xF000, 0x0E}, {0xF001, 0x0F}}, {0xF002, 0x03}, AcknowledgeVrc4,
     {4 + 228 + 7, 4 + 228 + 227, 4 + 228 + 227 + 7, 4 + 228 + 227 + 227}, true},
    // Without the A bit the acknowledgement disables the IRQ.
    {"VRC4 one shot", "VRC4F", {{0xF000, 0x00}, {0xF001, 0x0C}}, {0xF002, 0x06}, AcknowledgeVrc4, {4 + 64 + 7, 4 + 128}},
    {"VRC6 cycle mode, latch $C0", "VRC6A", {{0xF000, 0xC0}}, {0xF001, 0x07}, AcknowledgeVrc6,
     {4 + 64 + 7, 4 + 128, 4 + 64 + 65 + 7, 4 + 192}, true},
    {"VRC7 cycle mode, latch $C0", "VRC7", {{0xE010, 0xC0}}, {0xF000, 0x07}, AcknowledgeVrc7,
     {4 + 64 + 7, 4 + 128, 4 + 64 + 65 + 7, 4 + 192}, true},
    {"VRC2 has no IRQ", "VRC2B", {{0xF000, 0x00}, {0xF001, 0x0C}}, {0xF002, 0x07}, AcknowledgeVrc4, {}},
    // The LZ93D50 copies its latch into the counter at $800A; the line rises as it reaches 0.
    {"LZ93D50 latch 100", "LZ93D50+24C02", {{0x800B, 100}, {0x800C, 0}}, {0x800A, 0x01}, DisableBandai, {4 + 100 + 7, 4 + 100 + 65536}},
    {"FCG-1 counter written directly, IRQ disabled", "FCG-1", {{0x600B, 100}, {0x600C, 0}}, {0x600A, 0x00}, DisableBandai, {}},
    // The SS 88006 rises as its counting bits wrap from 0: all 16, or only the low 4.
    {"SS88006 16-bit counter 100", "JF-24", {{0xE000, 4}, {0xE001, 6}, {0xE002, 0}, {0xE003, 0}, {0xF000, 0}}, {0xF001, 0x01}, DisableSs88006, {4 + 102 + 7, 4 + 101 + 65536}},
    {"SS88006 4-bit counter of $64", "JF-24", {{0xE000, 4}, {0xE001, 6}, {0xF000, 0}}, {0xF001, 0x09}, DisableSs88006, {4 + 6 + 7, 4 + 5 + 16}},
    // The VRC3 counts up from its reload value and reloads at the wrap.
    {"VRC3 16-bit from $FF9C", "VRC3", {{0x8000, 0xC}, {0x9000, 0x9}, {0xA000, 0xF}, {0xB000, 0xF}}, {0xC000, 0x02}, AcknowledgeVrc3, {4 + 100 + 7, 4 + 200}},
    // The RAMBO-1 in cycle mode clocks its counter every 4 cycles; latch 9 gives 10 clocks a period.
    {"RAMBO-1 cycle mode, latch 9", "RAMBO-1", {{0xC000, 9}, {0xE001, 0}}, {0xC001, 0x01}, DisableRambo1, {4 + 40 + 7, 4 + 80}},
    // The MMC5 raises its flag as line 10 begins, once a frame.
    {"MMC5 line 10", "EKROM", {{0x5203, 10}}, {0x5204, 0x80}, AcknowledgeMmc5, {10}, false, true},
    {"MMC5 line 0 never", "EKROM", {{0x5203, 0}}, {0x5204, 0x80}, AcknowledgeMmc5, {}, false, true},
};
// clang-format on

TEST(CycleIrq, RaisedBetweenTheRightInstructions) {
    for (const IrqCase& irqCase : Cases) {
        SCOPED_TRACE(irqCase.what);
        Values found = IrqProbes(irqCase);
        if (irqCase.repeats) {
            found.resize(std::min(found.size(), irqCase.expected.size()));
        }
        EXPECT_EQ(found, irqCase.expected);
    }
}

} // namespace
} // namespace Halvo
