#include "nes/rom/UnifIOStrategy.h"

#include <sstream>

#include <gtest/gtest.h>

#include "nes/rom/Crc32.h"
#include "nes/rom/RomFiles.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using TestSupport::Chunk;
using TestSupport::ConsoleCapture;
using TestSupport::IsReport;
using TestSupport::LittleEndian32;
using TestSupport::MakeImage;
using TestSupport::Pattern;
using TestSupport::Summary;
using TestSupport::UnifHeader;

const char* const Load = "Halvo::Nes::UnifIOStrategy::LoadImage";

std::unique_ptr<Nes::RomImage> Read(const std::string& bytes, bool strict = true) {
    std::istringstream in(bytes);
    return Nes::UnifIOStrategy().LoadImage(in, strict);
}

std::string Rom(const std::unique_ptr<std::uint8_t[]>& rom, std::size_t size) {
    return rom ? std::string(reinterpret_cast<const char*>(rom.get()), size) : std::string();
}

std::string Checksum(const std::string& block) {
    return LittleEndian32(Nes::Crc32::Of(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()));
}

TEST(UnifIOStrategy, ReadsChunksInAnyOrderAndSkipsUnknownOnes) {
    std::string dinf(308, '\0');
    dinf.replace(0, 5, "Dumpy");
    dinf[100] = 24;
    dinf[101] = 11;
    dinf[102] = static_cast<char>(0xD9); // 2009
    dinf[103] = 0x07;
    dinf.replace(104, 120, std::string(120, 'a')); // runs past its 100-byte field
    const std::string prg0 = Pattern(16384, 1);
    const std::string chr = Pattern(8192, 2);

    const std::string file =
        UnifHeader() + Chunk("CHR0", chr) + Chunk("WHAT", "skip me") + Chunk("MIRR", "\x01") +
        Chunk("NAME", std::string("Game\0junk", 9)) + Chunk("PRG0", prg0) + Chunk("DINF", dinf) +
        Chunk("READ", "notes") /* no zero: ends with the chunk */ +
        Chunk("MAPR", std::string("NES-TLROM\0", 10)) + Chunk("TVCI", "\x01") + Chunk("CTRL", "\x03") +
        Chunk("BATR", "") + Chunk("VROR", "") + Chunk("PCK0", Checksum(prg0));
    const auto image = Read(file);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->name, "Game");
    EXPECT_EQ(image->comments, "notes");
    EXPECT_EQ(image->boardName, "NES-TLROM");
    EXPECT_EQ(image->dumperName, "Dumpy");
    EXPECT_EQ(image->dumperAgent, std::string(100, 'a'));
    EXPECT_EQ(image->dumpDay, 24);
    EXPECT_EQ(image->dumpMonth, 11);
    EXPECT_EQ(image->dumpYear, 2009);
    EXPECT_EQ(image->mirroring, 1u);
    EXPECT_EQ(image->tvSystem, 1u);
    EXPECT_EQ(image->controllers, 3u);
    EXPECT_TRUE(image->hasBattery && image->hasChrRam);
    EXPECT_FALSE(image->hasWram);
    EXPECT_EQ(image->prgBankCount, 1u);
    EXPECT_EQ(Rom(image->prgRom, 16384), prg0);
    EXPECT_EQ(image->chrBankCount, 1u);
    EXPECT_EQ(Rom(image->chrRom, 8192), chr);
    EXPECT_EQ(image->chrCrc, Nes::Crc32::Of(image->chrRom.get(), 8192));
}

TEST(UnifIOStrategy, JoinsNumberedBlocksInOrderIntoWholeBanks) {
    const std::string a = Pattern(16384, 1);
    const std::string b = Pattern(24576, 2);
    // Chunks 0 and 2 (1 missing) in reverse order; a letter digit in lower case; "PRG?" is skipped.
    const auto image = Read(UnifHeader() + Chunk("PRG2", b) + Chunk("PRG?", "ignored") + Chunk("PRG0", a) +
                            Chunk("CHRb", "xy") + Chunk("CHRA", "uv"));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->prgBankCount, 3u); // 40 KiB
    EXPECT_EQ(Rom(image->prgRom, 3 * 16384), a + b + std::string(8192, '\0'));
    EXPECT_EQ(image->prgCrc, Nes::Crc32::Of(image->prgRom.get(), 3 * 16384));
    ASSERT_EQ(image->chrBankCount, 1u);
    EXPECT_EQ(Rom(image->chrRom, 8192), "uvxy" + std::string(8188, '\0'));

    const auto defaults = Read(UnifHeader() + Chunk("PRG0", "x"));
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->boardName, "NROM");
    EXPECT_EQ(defaults->mirroring, 5u);
    EXPECT_EQ(defaults->tvSystem, 2u);
    EXPECT_FALSE(defaults->chrRom);
}

TEST(UnifIOStrategy, AppliesTheChecksumPolicy) {
    const std::string prg = Pattern(16384, 1);
    const std::string chr = Pattern(8192, 2);
    const std::string good = UnifHeader() + Chunk("PRG0", prg) + Chunk("PCK0", Checksum(prg));
    const std::string bad = good + Chunk("CHR1", chr) + Chunk("CCK1", LittleEndian32(0x12345678));
    {
        // Checksums without blocks, and blocks without checksums, are fine.
        ConsoleCapture console;
        EXPECT_TRUE(Read(good + Chunk("CCK5", "abcd") + Chunk("CHR0", chr)));
        EXPECT_TRUE(console.Lines().empty());
    }
    {
        ConsoleCapture console;
        EXPECT_FALSE(Read(bad, true));
        ASSERT_EQ(console.ErrorLines().size(), 1u);
        EXPECT_TRUE(IsReport(console.LastLine(), Load, "Checksum mismatch in UNIF chunk CHR1."));
    }
    {
        ConsoleCapture console;
        const auto image = Read(bad, false);
        ASSERT_TRUE(image);
        EXPECT_EQ(Rom(image->chrRom, 8192), chr);
        EXPECT_TRUE(console.ErrorLines().empty());
        EXPECT_EQ(console.Lines(), std::vector<std::string>{"Checksum mismatch in UNIF chunk CHR1."});
    }
}

TEST(UnifIOStrategy, RefusesTruncatedForgedAndEmptyFiles) {
    const std::string prg = Chunk("PRG0", "code");
    const struct {
        std::string bytes;
        const char* message; // null: silent
    } cases[] = {
        {UnifHeader().substr(0, 31), nullptr},
        {"UNIX" + UnifHeader().substr(4) + prg, nullptr},
        {UnifHeader() + prg + "PRG1" + LittleEndian32(10) + "short", nullptr},
        {UnifHeader() + prg + "MIRR" + LittleEndian32(0), nullptr},
        // 40 bytes that claim a 4 GiB chunk: refused before anything is allocated or skipped.
        {UnifHeader() + "PRG0" + LittleEndian32(0xFFFFFFFF), nullptr},
        {UnifHeader() + prg + "WHAT" + LittleEndian32(0xFFFFFFF0) + "x", nullptr},
        {UnifHeader() + Chunk("MAPR", std::string("NES-TLROM\0", 10)) + Chunk("CHR0", "x"),
         "UNIF image has no PRG-ROM."},
    };
    for (const auto& test : cases) {
        ConsoleCapture console;
        EXPECT_FALSE(Read(test.bytes));
        if (test.message) {
            ASSERT_EQ(console.ErrorLines().size(), 1u);
            EXPECT_TRUE(IsReport(console.LastLine(), Load, test.message));
        } else {
            EXPECT_TRUE(console.Lines().empty());
        }
    }
    // A header cut short at the very end just ends the chunks.
    EXPECT_TRUE(Read(UnifHeader() + prg + "MIR"));
}

// A stream that cannot seek or tell its size, as a pipe.
class PipeBuffer : public std::stringbuf {
public:
    using std::stringbuf::stringbuf;

protected:
    pos_type seekoff(off_type, std::ios::seekdir, std::ios::openmode) override { return pos_type(-1); }
    pos_type seekpos(pos_type, std::ios::openmode) override { return pos_type(-1); }
};

TEST(UnifIOStrategy, ReadsStreamsThatCannotSeek) {
    PipeBuffer pipe(UnifHeader() + Chunk("NAME", std::string("Piped\0rest", 10)) + Chunk("PRG0", "x"));
    std::istream in(&pipe);
    const auto image = Nes::UnifIOStrategy().LoadImage(in, true);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->name, "Piped");

    PipeBuffer forged(UnifHeader() + "PRG0" + LittleEndian32(0xFFFFFFFF) + "tiny");
    std::istream forgedIn(&forged);
    EXPECT_FALSE(Nes::UnifIOStrategy().LoadImage(forgedIn, true));
}

TEST(UnifIOStrategy, SavesWhatItReads) {
    auto image = MakeImage("NES-SNROM", 17, 2);
    image->name = "Round Trip";
    image->comments = "Line one";
    image->dumperName = std::string(120, 'n');
    image->dumperAgent = "Agent";
    image->dumpDay = 31;
    image->dumpMonth = 11;
    image->dumpYear = 1999;
    image->tvSystem = 1;
    image->mirroring = 3;
    image->controllers = 0x102;
    image->hasBattery = true;
    image->hasChrRam = true;
    std::ostringstream out;
    ASSERT_TRUE(Nes::UnifIOStrategy().SaveImage(out, *image));
    // Banks 15 and 16 are written as chunks "F" and "G".
    EXPECT_NE(out.str().find("PCKF"), std::string::npos);
    EXPECT_NE(out.str().find("PRGG"), std::string::npos);

    const auto loaded = Read(out.str());
    ASSERT_TRUE(loaded);
    // The dumper texts keep 99 characters and a zero; the controller code keeps its low byte.
    image->dumperName.resize(99);
    image->controllers = 2;
    EXPECT_EQ(Summary(*loaded), Summary(*image));
}

TEST(UnifIOStrategy, RefusesToSaveMoreBanksThanChunkNumbers) {
    for (const auto& [prg, chr, message] :
         {std::tuple{37u, 0u, "Too many PRG-ROM banks for the UNIF format."},
          std::tuple{1u, 37u, "Too many CHR-ROM banks for the UNIF format."}}) {
        ConsoleCapture console;
        std::ostringstream out;
        EXPECT_FALSE(Nes::UnifIOStrategy().SaveImage(out, *MakeImage("NROM", prg, chr)));
        EXPECT_TRUE(out.str().empty());
        ASSERT_EQ(console.ErrorLines().size(), 1u);
        EXPECT_TRUE(IsReport(console.LastLine(), "Halvo::Nes::UnifIOStrategy::SaveImage", message));
    }
    std::ostringstream full;
    EXPECT_TRUE(Nes::UnifIOStrategy().SaveImage(full, *MakeImage("NROM", 36, 36)));

    ConsoleCapture console;
    std::ostream broken(nullptr); // every write fails
    EXPECT_FALSE(Nes::UnifIOStrategy().SaveImage(broken, *MakeImage("NROM", 1, 1)));
    EXPECT_TRUE(IsReport(console.LastLine(), "Halvo::Nes::UnifIOStrategy::SaveImage",
                         "Could not write the UNIF rom image file."));
}

} // namespace
} // namespace Halvo
