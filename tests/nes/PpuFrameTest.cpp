#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "nes/PpuMachine.h"

namespace Halvo {
namespace {

using TestSupport::PpuMachine;

void Scroll(PpuMachine& machine, std::uint8_t x) {
    machine.Fill(0x0000, {});
    machine.Ppu().WriteRegister(0x2005, x);
    machine.Ppu().WriteRegister(0x2005, 0);
}

// The given sprites first; every other sprite below the picture.
void SetOam(PpuMachine& machine, const std::vector<std::uint8_t>& bytes) {
    for (std::uint32_t i = 0; i < 256; ++i) {
        machine.Ppu().WriteOam(i, i < bytes.size() ? bytes[i] : 0xF0);
    }
}

TEST(PpuFrame, BackgroundFollowsFineScrollAttributesAndLeftClip) {
    struct Case {
        std::uint8_t mask;
        std::int32_t x, y;
        std::int32_t entry; // palette entry, or -1 for the clear colour
    };
    const Case cases[] = {
        {0x0A, 0, 0, 5},   {0x0A, 4, 0, 5},  {0x0A, 5, 0, 7},  {0x0A, 13, 0, 1},
        {0x0A, 253, 0, 0}, {0x0A, 0, 16, 9}, {0x08, 0, 0, -1}, {0x08, 8, 0, 7},
    };
    for (const Case& test : cases) {
        PpuMachine machine;
        auto canvas = machine.AttachCanvas();
        machine.Fill(0x0010, {0xFF}, 8);   // tile 1: colour 1
        machine.Fill(0x0020, {0xFF}, 16);  // tile 2: colour 3
        machine.Fill(0x2000, {1, 2}, 480); // columns alternate
        machine.Fill(0x23C0, {0x21});      // palettes 1 top left, 0 top right, 2 bottom left
        machine.Fill(0x3F00, {0x30, 0x01, 0x02, 0x03, 0x00, 0x05, 0x06, 0x07, 0x00, 0x09});
        Scroll(machine, 3);
        machine.Ppu().WriteRegister(0x2001, test.mask);
        machine.Ppu().RunFrame(true);
        const unsigned expected = test.entry < 0 ? canvas->colors[0x0D] : canvas->paletteMap[test.entry];
        EXPECT_EQ(canvas->GetPixel(test.x, test.y), expected) << test.x << "," << test.y;
    }
}

// A board that supplies attributes (non-zero) has them drawn instead of the name table's.
TEST(PpuFrame, BoardAttributesReplaceTheNameTables) {
    class AttributeMmc final : public Nes::Mmc {
    public:
        using Mmc::Mmc;
        std::uint8_t GetAttribute(std::uint16_t) override { return 2; }
    };
    PpuMachine machine;
    Nes::Process& process = *machine.machine.process;
    process.SetMmc(Ref::New<AttributeMmc>(&process));
    process.GetMmc().Reset(true);
    process.GetMmc().SetNameTableMirroring(Nes::MirrorVertical);
    auto canvas = machine.AttachCanvas();
    SetOam(machine, {});
    machine.Fill(0x0000, {0xFF}, 8); // tile 0: colour 1
    machine.Fill(0x3F00, {0x30, 0x01, 0x02, 0x03, 0x00, 0x05, 0x06, 0x07, 0x00, 0x09});
    machine.Ppu().WriteRegister(0x2001, 0x0A);
    machine.Ppu().RunFrame(true);
    EXPECT_EQ(canvas->GetPixel(100, 100), canvas->paletteMap[9]);
}

// The same scene on a board whose hooks hear every fetch but change nothing, and on a plain board, must
// give the same picture: scrolled across both name tables with fine X and fine Y, every attribute
// quarter, both bit planes from the pattern table at $1000, a scroll write in the middle of a line, and
// unmapped pattern and name-table pages.
TEST(PpuFrame, BoardsWithAndWithoutHooksDrawTheSamePicture) {
    class ListeningMmc final : public Nes::Mmc {
    public:
        using Mmc::Mmc;
        void OnPatternFetch(std::uint16_t) override { ++fetches; }
        std::uint8_t GetAttribute(std::uint16_t) override {
            ++fetches;
            return 0;
        }
        int fetches = 0;
    };
    for (const bool unmapped : {false, true}) {
        std::vector<std::uint8_t> pictures[2];
        for (const bool hooks : {false, true}) {
            PpuMachine machine;
            Nes::Process& process = *machine.machine.process;
            const Ref::Ptr<ListeningMmc> board = Ref::New<ListeningMmc>(&process);
            if (hooks) {
                process.SetMmc(board);
                board->Reset(true);
                board->SetNameTableMirroring(Nes::MirrorVertical);
            } else {
                process.GetMmc().patternFetchHook = process.GetMmc().attributeHook = false;
            }
            auto canvas = machine.AttachCanvas();
            Nes::Ppu& ppu = machine.Ppu();
            // Patterns at $1000 and both name tables from a fixed random sequence; 32 colours.
            std::uint32_t seed = 12345;
            for (const auto& [address, count] : {std::pair{0x1000, 0x1000}, std::pair{0x2000, 0x800}}) {
                machine.Fill(static_cast<std::uint16_t>(address), {});
                for (int i = 0; i < count; ++i) {
                    ppu.WriteRegister(0x2007,
                                      static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16));
                }
            }
            machine.Fill(0x3F00, {});
            for (std::uint8_t colour = 0; colour < 32; ++colour) {
                ppu.WriteRegister(0x2007, static_cast<std::uint8_t>(colour * 2 + 1));
            }
            SetOam(machine, {});
            if (unmapped) {
                // patterns $1400-$17FF, name table $2400
                ppu.MapVramPage(5, nullptr, false);
                ppu.MapVramPage(9, nullptr, false);
            }
            ppu.WriteRegister(0x2000, 0x10);
            ppu.ReadRegister(0x2002);
            ppu.WriteRegister(0x2005, 20 * 8 + 3);
            ppu.WriteRegister(0x2005, 37);
            ppu.WriteRegister(0x2001, 0x0A);
            int writes = 0;
            machine.cpu->onSlice = [&] {
                // Line 120, dot 96: a new address through $2006, in effect from the next tile step.
                if (ppu.scanline == 120 && machine.cpu->counter == machine.cpu->lineStart - 96 &&
                    writes++ == 0) {
                    ppu.CatchUp();
                    ppu.WriteRegister(0x2006, 0x05);
                    ppu.WriteRegister(0x2006, 0x6A);
                }
            };
            ppu.RunFrame(true);
            pictures[hooks] = canvas->GetPicture();
            EXPECT_EQ(writes, 1);
            // Both hooks, for each row of the pre-render and visible lines.
            EXPECT_EQ(board->fetches, hooks ? 2 * 241 * 34 : 0);
        }
        std::set<std::uint32_t> colours;
        for (std::size_t i = 0; i < pictures[0].size(); i += 3) {
            colours.insert(static_cast<std::uint32_t>(pictures[0][i] << 16 | pictures[0][i + 1] << 8 |
                                                      pictures[0][i + 2]));
        }
        EXPECT_EQ(colours.size(), 13u); // the backdrop and the three colours of each background palette
        const auto difference = std::ranges::mismatch(pictures[0], pictures[1]).in1 - pictures[0].begin();
        EXPECT_EQ(difference, std::ssize(pictures[0]))
            << "first differing pixel at x " << difference / 3 % 256 << ", y " << difference / 3 / 256
            << (unmapped ? " with unmapped pages" : "");
    }
}

} // namespace
} // namespace Halvo
