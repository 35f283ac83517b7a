#include "shell/DebugFunctions.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Cartridges.h"
#include "nes/Process.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImageIOManager.h"
#include "support/ConsoleCapture.h"
#include "support/Machine.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// A cartridge whose program counts in X, stores it at $0200 and calls a subroutine that copies $42
// from ROM to $10:
//   C000 LDX #$00 / C002 INX / C003 STX $0200 / C006 JSR $C010 / C009 JMP $C002
//   C010 LDA $C030 / C013 STA $10 / C015 RTS          (NMI and IRQ: C020 RTI; C030 holds $42)
struct DebugScript : ::testing::Test, DebugHost {
    DebugScript() {
        Nes::RegisterCartridgeSupport(*formats, *boards);
        image = TestSupport::MakeImage(1, 1);
        const std::uint8_t program[] = {0xA2, 0x00, 0xE8, 0x8E, 0x00, 0x02,
                                        0x20, 0x10, 0xC0, 0x4C, 0x02, 0xC0};
        const std::uint8_t subroutine[] = {0xAD, 0x30, 0xC0, 0x85, 0x10, 0x60};
        std::uint8_t* prg = image->prgRom.get();
        std::copy(std::begin(program), std::end(program), prg);
        std::copy(std::begin(subroutine), std::end(subroutine), prg + 0x10);
        prg[0x20] = 0x40;
        prg[0x30] = 0x42;
        const std::uint8_t vectors[] = {0x20, 0xC0, 0x00, 0xC0, 0x20, 0xC0};
        std::copy(std::begin(vectors), std::end(vectors), prg + 0x3FFA);
        process = Nes::Process::Create("Static", image.get());
        process->Reset(true);
        for (Console::Function* function : debug.Functions()) {
            capture.System().RegisterFunction(Ref::Ptr<Console::Function>(function));
        }
        debug.Attach(process.Get());
    }
    ~DebugScript() override {
        debug.Attach(nullptr);
        for (Console::Function* function : debug.Functions()) {
            capture.System().UnregisterFunction(function->name);
        }
    }

    Nes::Process* DebugMachine() override { return process.Get(); }
    void OnDebugStop() override { ++stops; }

    // Runs the lines as a script file and gives what they printed, echoes left out.
    std::vector<std::string> RunScript(const std::string& script) {
        capture.System().lines.clear();
        capture.System().Execute("@echo off");
        capture.System().Execute("@run \"" + dir.Write("debug.cfg", script).string() + "\"");
        capture.System().Execute("@echo on");
        return capture.Lines();
    }

    TestSupport::TempDir dir;
    TestSupport::ConsoleCapture capture;
    Ref::Ptr<Nes::RomImageIOManager> formats{Nes::RomImageIOManager::Instance()};
    Ref::Ptr<Nes::MmcManager> boards{Nes::MmcManager::Instance()};
    std::unique_ptr<Nes::RomImage> image;
    Ref::Ptr<Nes::Process> process;
    DebugFunctions debug{*this, capture.System().Output()};
    int stops = 0;
};

bool StartsWith(const std::string& line, const std::string& start) {
    return line.compare(0, start.size(), start) == 0;
}

// Sets a break, runs to it, steps through the subroutine and reads memory on the way: every stop
// prints the instruction about to run with the registers, and the machine stands exactly there.
TEST_F(DebugScript, BreakRunStepAndReadMemory) {
    const std::vector<std::string> out = RunScript("break $C010\n"
                                                   "continue 2\n"
                                                   "mem $0010 1\n"
                                                   "step\n"
                                                   "step\n"
                                                   "mem $0010 1\n"
                                                   "finish\n"
                                                   "unbreak 1\n"
                                                   "next\n"
                                                   "mem $0200 2\n"
                                                   "poke $0201 $99\n"
                                                   "mem $0200 2\n");
    ASSERT_EQ(out.size(), 10u) << ::testing::PrintToString(out);
    EXPECT_EQ(out[0], "Break 1: $C010 x");
    EXPECT_TRUE(StartsWith(out[1], "Break 1: C010  AD 30 C0  LDA $C030 = 42")) << out[1];
    EXPECT_NE(out[1].find("A:00 X:01 Y:00"), std::string::npos) << out[1];
    EXPECT_EQ(out[2], "0010: 00");
    EXPECT_TRUE(StartsWith(out[3], "C013  85 10     STA $10 = 00")) << out[3];
    EXPECT_NE(out[3].find("A:42"), std::string::npos) << out[3];
    EXPECT_TRUE(StartsWith(out[4], "C015  60        RTS")) << out[4];
    EXPECT_EQ(out[5], "0010: 42");
    // After the return; then over the JMP to the loop's INX.
    EXPECT_TRUE(StartsWith(out[6], "C009  4C 02 C0  JMP $C002")) << out[6];
    EXPECT_TRUE(StartsWith(out[7], "C002  E8        INX")) << out[7];
    EXPECT_EQ(out[8], "0200: 01 00");
    EXPECT_EQ(out[9], "0200: 01 99");
    EXPECT_EQ(process->GetCpu().pc, 0xC002u);
    EXPECT_GE(stops, 5);
}

// A trace runs to megabytes: every line reaches the file, in order, through the writer's blocks; a
// disk that fills up is reported when the trace ends.
TEST_F(DebugScript, TraceKeepsEveryLineAndReportsAFullDisk) {
    const std::string file = dir.Path("trace.log").string();
    const std::vector<std::string> out = RunScript("trace \"" + file +
                                                   "\"\ncontinue 40\ntrace off\n"
                                                   "trace /dev/full\ncontinue 1\ntrace off\n");
    ASSERT_EQ(out.size(), 6u) << ::testing::PrintToString(out);
    std::ifstream traced(file);
    std::string line;
    std::uint64_t lines = 0;
    std::uint64_t lastCycle = 0;
    while (std::getline(traced, line)) {
        const std::uint64_t cycle = std::stoull(line.substr(line.find("CYC:") + 4));
        ASSERT_TRUE(lines == 0 || cycle > lastCycle) << "line " << lines + 1 << ": " << line;
        lastCycle = cycle;
        ++lines;
    }
    EXPECT_GT(std::filesystem::file_size(file), 3u << 20);
    EXPECT_EQ(out[2], "Trace " + file + ": " + std::to_string(lines) + " lines.");
    EXPECT_EQ(out[5], "Could not write the trace /dev/full in full: No space left on device.");
}

// Conditions on registers and memory, breaks on a write and on a subroutine call stepped over.
TEST_F(DebugScript, ConditionsWritesAndNext) {
    std::vector<std::string> out = RunScript("break $C002 if x >= 2 && [$0200] == 3\n"
                                             "continue 2\n"
                                             "unbreak 1\n"
                                             "break $0010 w\n"
                                             "continue 2\n"
                                             "unbreak 2\n"
                                             "break $C006\n"
                                             "continue 2\n"
                                             "next\n"
                                             "breaks\n");
    ASSERT_EQ(out.size(), 8u) << ::testing::PrintToString(out);
    EXPECT_TRUE(StartsWith(out[1], "Break 1: C002  E8        INX")) << out[1];
    EXPECT_NE(out[1].find("X:03"), std::string::npos) << out[1];
    EXPECT_TRUE(StartsWith(out[3], "Break 2: C013  85 10     STA $10")) << out[3];
    EXPECT_TRUE(StartsWith(out[5], "Break 3: C006  20 10 C0  JSR $C010")) << out[5];
    // "next" runs the whole subroutine: A holds its $42 after it.
    EXPECT_TRUE(StartsWith(out[6], "Break 3: C009") || StartsWith(out[6], "C009")) << out[6];
    EXPECT_NE(out[6].find("A:42"), std::string::npos) << out[6];
    EXPECT_EQ(out[7], "3: $C006 x (1 hit)");
}

// What cannot be done is said, and the machine is left as it was.
TEST_F(DebugScript, BadInputIsRefused) {
    const std::uint32_t pc = process->GetCpu().pc;
    std::vector<std::string> out = RunScript("break nowhere\n"
                                             "break $C000 if x ==\n"
                                             "poke $C000 1\n"
                                             "unbreak 7\n"
                                             "mem $2002 1\n");
    ASSERT_GE(out.size(), 5u) << ::testing::PrintToString(out);
    EXPECT_EQ(out[0], "\"nowhere\" is not an address, a range of addresses or a label.");
    EXPECT_TRUE(StartsWith(out.back(), "2002: --")) << out.back();
    EXPECT_NE(
        std::find(out.begin(), out.end(), "$C000 is not memory that can be written (ROM or a register)."),
        out.end());
    EXPECT_NE(std::find(out.begin(), out.end(), "There is no break 7."), out.end());
    EXPECT_TRUE(debug.debugger.Breakpoints().empty());
    EXPECT_EQ(process->GetCpu().pc, pc);
}

} // namespace
} // namespace Halvo

namespace Halvo {
namespace {

// Breaks on entering the NMI (enabled in $2000) and the frame counter's IRQ (let in by CLI) stop before
// the handler's first instruction.
TEST_F(DebugScript, BreaksOnTheNmiAndTheIrq) {
    // C000 CLI / C001 LDA #$80 / C003 STA $2000 / C006 JMP $C006; NMI: C020 RTI; IRQ: C030 LDA $4015, RTI.
    const std::uint8_t program[] = {0x58, 0xA9, 0x80, 0x8D, 0x00, 0x20, 0x4C, 0x06, 0xC0};
    const std::uint8_t irq[] = {0xAD, 0x15, 0x40, 0x40};
    std::uint8_t* prg = image->prgRom.get();
    std::copy(std::begin(program), std::end(program), prg);
    std::copy(std::begin(irq), std::end(irq), prg + 0x30);
    prg[0x3FFE] = 0x30;
    process->Reset(true);
    debug.debugger.RecordEvents(true);
    const std::vector<std::string> out =
        RunScript("break nmi\ncontinue 3\nunbreak 1\nbreak irq\ncontinue 3\n");
    ASSERT_EQ(out.size(), 4u) << ::testing::PrintToString(out);
    // The event view's record of the first frame: the write that enabled the NMI, early in vertical blank.
    const auto& events = debug.debugger.LastFrameEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(
        std::make_tuple(events[0].kind, events[0].address, events[0].value, events[0].line),
        std::make_tuple(Nes::Debugger::FrameEvent::PpuWrite, std::uint16_t{0x2000}, std::uint8_t{0x80}, 241));
    EXPECT_TRUE(StartsWith(out[1], "Break 1: C020  40        RTI")) << out[1];
    EXPECT_NE(out[1].find("PPU:241,"), std::string::npos) << out[1];
    EXPECT_TRUE(StartsWith(out[3], "Break 2: C030  AD 15 40  LDA $4015")) << out[3];
}

// The code/data log marks what ran and what was read, in FCEUX's layout: PRG bytes, then CHR bytes.
TEST_F(DebugScript, CodeDataLogMarksCodeAndData) {
    const std::string file = dir.Path("game.cdl").string();
    RunScript("cdl on\nbreak $C009\ncontinue 2\ncdl save \"" + file + "\"\n");
    std::ifstream in(file, std::ios::binary);
    const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(log.size(), 0x4000u + 0x2000u);
    // $C000-$C008 and $C010-$C015 ran (the window $C000 shows in bits 2 and 3); $C030 was read.
    for (std::size_t offset : {0x00, 0x08, 0x10, 0x15}) {
        EXPECT_EQ(log[offset], 0x09) << offset;
    }
    EXPECT_EQ(log[0x09], 0);
    EXPECT_EQ(log[0x30], 0x0A);
    EXPECT_EQ(log[0x31], 0);
}

} // namespace
} // namespace Halvo
