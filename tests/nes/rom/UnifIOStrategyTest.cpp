#include "nes/rom/UnifIOStrategy.h"

#include <sstream>

#include <gtest/gtest.h>

#include "nes/rom/Crc32.h"
#include "nes/rom/RomFiles.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using TestSupport::Bytes;
using TestSupport::Chunk;
using TestSupport::LittleEndian32;
using TestSupport::MakeImage;
using TestSupport::Pattern;
using TestSupport::UnifHeader;

const char* const Load = "Halvo::Nes::UnifIOStrategy::LoadImage";
const char* const Save = "Halvo::Nes::UnifIOStrategy::SaveImage";

std::unique_ptr<Nes::RomImage> Read(const std::string& bytes, bool strict = true) {
    std::istringstream in(bytes);
    return Nes::UnifIOStrategy().LoadImage(in, strict);
}

std::string Checksum(const std::string& block) {
    return LittleEndian32(Nes::Crc32::Of(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()));
}

TEST(UnifIOStrategy, ReadsChunksInAnyOrderAndSkipsUnknownOnes) {
    std::string dinf(308, '\0');
    dinf.replace(0, 5, "Dumpy");
    dinf.replace(100, 4, "\x18\x0B\xD9\x07");      // 24 November 2009
    dinf.replace(104, 120, std::string(120, 'a')); // runs past its 100-byte field
    const std::string prg = Pattern(16384, 1);
    const std::string chr = Pattern(8192, 2);
    const auto image =
        Read(UnifHeader() + Chunk("CHR0", chr) + Chunk("WHAT", "skip me") + Chunk("MIRR", "\x01") +
             Chunk("NAME", std::string("Game\0junk", 9)) + Chunk("PRG0", prg) + Chunk("DINF", dinf) +
             Chunk("READ", "notes") /* no zero: ends with the chunk */ +
             Chunk("MAPR", std::string("NES-TLROM\0", 10)) + Chunk("TVCI", "\x01") + Chunk("CTRL", "\x03") +
             Chunk("BATR", "") + Chunk("VROR", "") + Chunk("PCK0", Checksum(prg)));
    ASSERT_TRUE(image);
    // The two checksums are those of the PRG and CHR patterns above.
    EXPECT_EQ(
        TestSupport::Summary(*image),
        "NES-TLROM 'Game' 'notes' PRG 1:eb3624a4 CHR 1:addc64ea trainer none tv 1 mirroring 1 ctrl 3 wram 0 "
        "battery 1 chrram 1 submapper 0 RAM 0+0 CHR-RAM 0+0 dumper 'Dumpy' '" +
            std::string(100, 'a') + "' 24/11/2009");
}

TEST(UnifIOStrategy, JoinsNumberedBlocksInOrderIntoWholeBanks) {
    const std::string a = Pattern(16384, 1);
    const std::string b = Pattern(24576, 2);
    // Chunks 0 and 2 (1 missing) in reverse order; letter digits in either case; "PRG?" is skipped.
    const auto image = Read(UnifHeader() + Chunk("PRG2", b) + Chunk("PRG?", "ignored") + Chunk("PRG0", a) +
                            Chunk("CHRb", "xy") + Chunk("CHRA", "uv"));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->prgBankCount, 3u); // 40 KiB
    EXPECT_EQ(Bytes(image->prgRom, 3 * 16384), a + b + std::string(8192, '\0'));
    ASSERT_EQ(image->chrBankCount, 1u);
    EXPECT_EQ(Bytes(image->chrRom, 8192), "uvxy" + std::string(8188, '\0'));

    const auto defaults = Read(UnifHeader() + Chunk("PRG0", "x"));
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->boardName, "NROM");
    EXPECT_EQ(defaults->mirroring, Nes::MirrorByMapper);
    EXPECT_EQ(defaults->tvSystem, Nes::TvBoth);
    EXPECT_EQ(Bytes(defaults->chrRom, 0), "<none>");
}

TEST(UnifIOStrategy, AppliesTheChecksumPolicy) {
    const std::string prg = Pattern(16384, 1);
    const std::string chr = Pattern(8192, 2);
    const std::string good = UnifHeader() + Chunk("PRG0", prg) + Chunk("PCK0", Checksum(prg));
    const std::string bad = good + Chunk("CHR1", chr) + Chunk("CCK1", LittleEndian32(0x12345678));
    TestSupport::ConsoleCapture console;
    // Checksums without blocks, and blocks without checksums, are fine; so is the standard CRC-32 that
    // other tools write (the complement of this program's form).
    const std::uint32_t crc = Nes::Crc32::Of(reinterpret_cast<const std::uint8_t*>(chr.data()), chr.size());
    EXPECT_TRUE(
        Read(good + Chunk("CCK5", "abcd") + Chunk("CHR0", chr) + Chunk("CCK0", LittleEndian32(~crc))));
    EXPECT_TRUE(console.HoldsOnly(Load, ""));
    EXPECT_FALSE(Read(bad, true));
    EXPECT_TRUE(console.HoldsOnly(Load, "Checksum mismatch in UNIF chunk CHR1."));
    // Without the strict flag the mismatch is only a note.
    console.Clear();
    const auto image = Read(bad, false);
    EXPECT_EQ(image ? Bytes(image->chrRom, 8192) : "", chr);
    EXPECT_EQ(console.Lines(), std::vector<std::string>{"Checksum mismatch in UNIF chunk CHR1."});
    EXPECT_TRUE(console.ErrorLines().empty());
}

// A stream that cannot seek or tell its size, as a pipe.
struct PipeBuffer : std::stringbuf {
    using std::stringbuf::stringbuf;
    pos_type seekoff(off_type, std::ios::seekdir, std::ios::openmode) override { return pos_type(-1); }
    pos_type seekpos(pos_type, std::ios::openmode) override { return pos_type(-1); }
};

TEST(UnifIOStrategy, RefusesTruncatedForgedAndEmptyFiles) {
    const std::string prg = Chunk("PRG0", "code");
    const std::pair<std::string, std::string> cases[] = {
        {"UNI", "Invalid UNIF header."},
        {"UNIX" + UnifHeader().substr(4) + prg, "Invalid UNIF header."},
        {UnifHeader().substr(0, 31), "Corrupted UNIF rom image file."},
        {UnifHeader() + prg + "PRG1" + LittleEndian32(10) + "short",
         "UNIF chunk PRG1 runs past the end of the file."},
        {UnifHeader() + prg + "MIRR" + LittleEndian32(0), "UNIF chunk MIRR runs past the end of the file."},
        // 40 bytes that claim a 4 GiB chunk: refused before anything is allocated or skipped.
        {UnifHeader() + "PRG0" + LittleEndian32(0xFFFFFFFF),
         "UNIF chunk PRG0 runs past the end of the file."},
        {UnifHeader() + prg + std::string("\x01WH\xFF", 4) + LittleEndian32(0xFFFFFFF0) + "x",
         "UNIF chunk ?WH? runs past the end of the file."},
        {UnifHeader() + Chunk("MAPR", std::string("NES-TLROM\0", 10)) + Chunk("CHR0", "x"),
         "UNIF image has no PRG-ROM."},
    };
    for (const auto& [bytes, message] : cases) {
        TestSupport::ConsoleCapture console;
        EXPECT_FALSE(Read(bytes));
        EXPECT_TRUE(console.HoldsOnly(Load, message)) << bytes.size() << " bytes";
    }
    // A header cut short at the very end just ends the chunks.
    EXPECT_TRUE(Read(UnifHeader() + prg + "MIR"));

    // A stream that cannot tell its size is read all the same, and a size no cartridge has is refused
    // before it is read.
    PipeBuffer piped(UnifHeader() + Chunk("NAME", std::string("Piped\0rest", 10)) + Chunk("PRG0", "x"));
    std::istream pipedIn(&piped);
    const auto image = Nes::UnifIOStrategy().LoadImage(pipedIn, true);
    EXPECT_EQ(image ? image->name : "", "Piped");
    PipeBuffer forged(UnifHeader() + "PRG0" + LittleEndian32(0xFFFFFFFF) + "tiny");
    std::istream forgedIn(&forged);
    TestSupport::ConsoleCapture console;
    EXPECT_FALSE(Nes::UnifIOStrategy().LoadImage(forgedIn, true));
    EXPECT_TRUE(
        console.HoldsOnly(Load, "UNIF chunk PRG0 makes the file too large for a cartridge (over 64 MiB)."));
}

TEST(UnifIOStrategy, SavesWhatItReads) {
    auto image = MakeImage(17, 2, "NES-SNROM");
    image->name = "Round Trip";
    image->comments = "Line one";
    image->dumperName = std::string(120, 'n');
    image->dumperAgent = "Agent";
    image->dumpDay = 31;
    image->dumpMonth = 11;
    image->dumpYear = 1999;
    image->tvSystem = Nes::TvPal;
    image->mirroring = 3;
    image->controllers = 0x102;
    image->hasBattery = true;
    image->hasChrRam = true;
    std::ostringstream out;
    ASSERT_TRUE(Nes::UnifIOStrategy().SaveImage(out, *image));
    const auto loaded = Read(out.str());
    ASSERT_TRUE(loaded);
    // The dumper texts keep 99 characters and a zero; the controller code keeps its low byte.
    image->dumperName.resize(99);
    image->controllers = 2;
    EXPECT_EQ(TestSupport::Summary(*loaded), TestSupport::Summary(*image));
}

TEST(UnifIOStrategy, RefusesToSaveMoreBanksThanChunkNumbers) {
    for (const auto& [prg, chr, message] :
         {std::tuple{37u, 0u, "Too many PRG-ROM banks for the UNIF format."},
          std::tuple{1u, 37u, "Too many CHR-ROM banks for the UNIF format."}, std::tuple{36u, 36u, ""}}) {
        TestSupport::ConsoleCapture console;
        std::ostringstream out;
        EXPECT_EQ(Nes::UnifIOStrategy().SaveImage(out, *MakeImage(prg, chr)), *message == '\0');
        EXPECT_EQ(out.str().empty(), *message != '\0');
        EXPECT_TRUE(console.HoldsOnly(Save, message));
    }
    TestSupport::ConsoleCapture console;
    std::ostream broken(nullptr); // every write fails
    EXPECT_FALSE(Nes::UnifIOStrategy().SaveImage(broken, *MakeImage(1, 1)));
    EXPECT_TRUE(console.HoldsOnly(Save, "Could not write the UNIF rom image file."));
}

} // namespace
} // namespace Halvo
