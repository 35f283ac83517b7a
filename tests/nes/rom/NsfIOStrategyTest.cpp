#include "nes/rom/NsfIOStrategy.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"
#include "support/NsfBuilder.h"

namespace Halvo {
namespace {

const char* const Operation = "Halvo::Nes::NsfIOStrategy::LoadImage";

std::unique_ptr<Nes::RomImage> Load(const std::vector<std::uint8_t>& bytes) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    return Nes::NsfIOStrategy().LoadImage(in, true);
}

TEST(NsfFormat, ReadsTheHeaderAndPlacesTheProgramInItsBanks) {
    TestSupport::ConsoleCapture console;
    TestSupport::NsfBuilder nsf;
    nsf.songs = 12;
    nsf.start = 3;
    nsf.load = 0xA123;
    nsf.init = 0xA200;
    nsf.play = 0xA300;
    nsf.region = 1;
    nsf.chips = 0x21;
    nsf.program = std::vector<std::uint8_t>(0x3000, 0x55);
    nsf.program[0] = 0x11;
    std::unique_ptr<Nes::RomImage> image = Load(nsf.Bytes());
    ASSERT_TRUE(image) << testing::PrintToString(console.Lines());
    ASSERT_TRUE(image->nsf);
    const Nes::NsfInfo& info = *image->nsf;
    EXPECT_EQ(image->boardName, "NSF");
    EXPECT_EQ(image->name, "Test Tune");
    EXPECT_EQ(info.artist, "Halvo");
    EXPECT_EQ(info.copyright, "2026 Nobody");
    EXPECT_EQ(info.songCount, 12u);
    EXPECT_EQ(info.startSong, 3u);
    EXPECT_EQ(info.initAddress, 0xA200);
    EXPECT_EQ(info.chips, 0x21);
    EXPECT_EQ(image->tvSystem, Nes::TvPal);
    // Unbanked: the program sits at its load address, the banks counting from $8000.
    EXPECT_FALSE(info.banked);
    EXPECT_EQ(image->prgRom[0x2123], 0x11);
    EXPECT_EQ(info.initialBanks[2], 0);
    EXPECT_EQ(info.initialBanks[9], 7);
    EXPECT_EQ(info.bankCount, 6u);

    // Banked: only the load address's place within a bank counts.
    nsf.banks = {0, 1, 2, 3, 0, 0, 0, 1};
    image = Load(nsf.Bytes());
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->nsf->banked);
    EXPECT_EQ(image->prgRom[0x123], 0x11);
    EXPECT_EQ(image->nsf->initialBanks[9], 1);
    EXPECT_EQ(image->nsf->bankCount, 4u);
    EXPECT_TRUE(console.Lines().empty());
}

TEST(NsfFormat, ReadsNsfeChunksAndNsf2Metadata) {
    TestSupport::ConsoleCapture console;
    std::vector<std::uint8_t> file = {'N', 'S', 'F', 'E'};
    const auto add = [&](const char* id, const std::vector<std::uint8_t>& data) {
        const auto chunk = TestSupport::NsfeChunk(id, data);
        file.insert(file.end(), chunk.begin(), chunk.end());
    };
    add("INFO", {0x00, 0x80, 0x00, 0x80, 0x03, 0x80, 0x02, 0x00, 0x03, 0x01});
    add("BANK", {0, 1});
    add("auth", {'T', 'u', 'n', 'e', 0, 'M', 'e', 0, 'C', 0});
    add("time", {0x10, 0x27, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    add("tlbl", {'O', 'n', 'e', 0, 'T', 'w', 'o', 0});
    add("plst", {0, 1});
    add("DATA", std::vector<std::uint8_t>(5000, 0x60));
    add("NEND", {});
    std::unique_ptr<Nes::RomImage> image = Load(file);
    ASSERT_TRUE(image) << testing::PrintToString(console.Lines());
    const Nes::NsfInfo& info = *image->nsf;
    EXPECT_EQ(info.version, 0u);
    EXPECT_EQ(info.songCount, 3u);
    EXPECT_EQ(info.startSong, 2u);
    EXPECT_EQ(info.playAddress, 0x8003);
    EXPECT_TRUE(info.banked);
    EXPECT_EQ(info.initialBanks[3], 1);
    EXPECT_EQ(info.title, "Tune");
    EXPECT_EQ(info.copyright, "C");
    EXPECT_EQ(info.TrackMs(1), 10000u);
    EXPECT_EQ(info.TrackMs(2), Nes::NsfInfo::DefaultTrackMs);
    EXPECT_EQ(info.TrackTitle(2), "Two");
    EXPECT_EQ(image->tvSystem, Nes::TvNtsc); // dual-system tunes run as NTSC

    TestSupport::NsfBuilder nsf2;
    nsf2.version = 2;
    nsf2.program = std::vector<std::uint8_t>(16, 0x60);
    nsf2.programLength = 16;
    nsf2.appended = TestSupport::NsfeChunk("time", {0x88, 0x13, 0, 0});
    image = Load(nsf2.Bytes());
    ASSERT_TRUE(image) << testing::PrintToString(console.Lines());
    EXPECT_EQ(image->nsf->TrackMs(1), 5000u);
    EXPECT_EQ(image->prgRom[16], 0); // the metadata is no part of the program
}

TEST(NsfFormat, RefusesBrokenFilesWithTheReason) {
    TestSupport::ConsoleCapture console;
    const auto tune = [] {
        TestSupport::NsfBuilder nsf;
        nsf.program = {0x60};
        return nsf;
    };
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::string message;
    };
    std::vector<Case> cases;
    {
        auto bytes = tune().Bytes();
        bytes.resize(100);
        cases.push_back({bytes, "The NSF header is 100 bytes long, less than 128."});
    }
    auto nsf = tune();
    nsf.version = 3;
    cases.push_back({nsf.Bytes(), "Unsupported NSF version 3."});
    nsf = tune();
    nsf.songs = 0;
    cases.push_back({nsf.Bytes(), "The NSF file holds no tracks."});
    nsf = tune();
    nsf.start = 2;
    cases.push_back({nsf.Bytes(), "The NSF file starts with track 2 of 1."});
    nsf = tune();
    nsf.program.clear();
    cases.push_back({nsf.Bytes(), "The NSF file holds no program."});
    nsf = tune();
    nsf.version = 2;
    nsf.programLength = 40;
    cases.push_back({nsf.Bytes(), "The NSF header gives 40 bytes of program, but only 1 follow."});
    nsf = tune();
    nsf.load = 0x7000;
    cases.push_back({nsf.Bytes(), "The NSF load address $7000 is below $8000."});
    nsf = tune();
    nsf.chips = 0x40;
    cases.push_back({nsf.Bytes(), "The NSF file asks for an unknown sound chip."});
    nsf = tune();
    nsf.load = 0xF000;
    nsf.program.resize(0x1001);
    cases.push_back(
        {nsf.Bytes(), "The NSF program of 4097 bytes from $F000 runs past the 32 KiB the player can show."});
    nsf = tune();
    nsf.version = 2;
    nsf.nsf2Flags = 0x10;
    cases.push_back({nsf.Bytes(), "The NSF2 file needs the player's IRQ timer, which Halvo does not have."});
    nsf = tune();
    nsf.version = 2;
    nsf.programLength = 1;
    nsf.appended = TestSupport::NsfeChunk("time", {1, 2, 3, 4});
    nsf.appended[0] = 9;
    cases.push_back({nsf.Bytes(), "NSFe chunk \"time\" claims 9 bytes, but only 4 follow."});
    const auto nsfe = [](const std::vector<std::vector<std::uint8_t>>& chunks) {
        std::vector<std::uint8_t> file = {'N', 'S', 'F', 'E'};
        for (const auto& chunk : chunks) {
            file.insert(file.end(), chunk.begin(), chunk.end());
        }
        return file;
    };
    const auto info = TestSupport::NsfeChunk("INFO", {0, 0x80, 0, 0x80, 0, 0x80, 0, 0, 1});
    const auto data = TestSupport::NsfeChunk("DATA", {0x60});
    cases.push_back({nsfe({TestSupport::NsfeChunk("INFO", {0, 0x80, 0, 0x80}), data}),
                     "NSFe chunk \"INFO\" is 4 bytes long, less than 9."});
    cases.push_back({nsfe({info}), "The NSFe file has no \"DATA\" chunk."});
    cases.push_back({nsfe({data}), "The NSFe file has no \"INFO\" chunk."});
    cases.push_back({nsfe({info, TestSupport::NsfeChunk("VRC7", {1}), data}),
                     "NSFe chunk \"VRC7\" is needed to play this file, and Halvo does not know it."});
    cases.push_back({nsfe({info, {1, 0}}), "Truncated NSFe chunk header."});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        console.Clear();
        EXPECT_FALSE(Load(c.bytes));
        EXPECT_TRUE(console.HoldsOnly(Operation, c.message));
    }
}

} // namespace
} // namespace Halvo
