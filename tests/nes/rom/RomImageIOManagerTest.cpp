#include "nes/rom/RomImageIOManager.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomFiles.h"
#include "nes/rom/UnifIOStrategy.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::Chunk;
using TestSupport::INesFile;
using TestSupport::UnifHeader;

const std::string UnifFile = UnifHeader() + Chunk("MAPR", std::string("UNROM\0", 6)) + Chunk("PRG0", "x");
const char* const NotINes = "Invalid iNES header.";

// The manager as the shell sets it up: iNES first, then UNIF; registering a format again changes nothing.
class RomImageIOManagerTest : public testing::Test {
protected:
    RomImageIOManagerTest() {
        for (int twice = 0; twice < 2; ++twice) {
            manager->RegisterStrategy(Nes::INesIOStrategy());
            manager->RegisterStrategy(Nes::UnifIOStrategy());
        }
    }

    std::unique_ptr<Nes::RomImage> LoadFile(const std::string& name, const std::string& content,
                                            const std::string& format = "") {
        return manager->LoadImageFile(folder.Write(name, content).string(), format);
    }

    TestSupport::ConsoleCapture console;
    TestSupport::TempDir folder;
    Ref::Ptr<Nes::RomImageIOManager> manager{Nes::RomImageIOManager::Instance()};
};

TEST_F(RomImageIOManagerTest, TriesTheExtensionsFormatFirstThenTheOthers) {
    const std::string ines = "Halvo::Nes::INesIOStrategy::LoadImage";
    const std::string unif = "Halvo::Nes::UnifIOStrategy::LoadImage";
    std::string mapper15 = INesFile(1, 1, 0xF0);
    const struct {
        const char* fileName;
        std::string content;
        const char* format;
        const char* board; // empty: nothing loads
        // The one report left: a format that reads the file leaves no complaint of another behind; a
        // file that none reads is explained by the format whose signature it carries, else by the one
        // its extension names, else by the first.
        std::string reporter = "";
        const char* message = "";
    } cases[] = {
        {"game.NES", INesFile(1, 1), "", "NROM"},
        {"game.Unf", UnifFile, "", "UNROM"},
        {"game.unif", UnifFile, "", "UNROM"},
        {"game", INesFile(1, 1), "", "NROM"},
        {"game", UnifFile, "", "UNROM"},
        {"game.rom", UnifFile, "UNIF", "UNROM"},
        {"game.unf", INesFile(1, 1), "", "NROM"},
        {"game.nes", UnifFile, "", "UNROM"},
        {"game.nes", "neither iNES nor UNIF data", "", "", ines, NotINes},
        {"game.unf", "neither iNES nor UNIF data", "", "", unif, "Invalid UNIF header."},
        {"game", "neither iNES nor UNIF data", "", "", ines, NotINes},
        {"game.nes", UnifFile.substr(0, UnifFile.size() - 1), "", "", unif,
         "UNIF chunk PRG0 runs past the end of the file."},
        {"game.unf", mapper15, "", "", ines, "Unsupported iNES mapper number."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.fileName + (": " + test.content.substr(0, 4)));
        console.Clear();
        const auto image = LoadFile(test.fileName, test.content, test.format);
        EXPECT_EQ(image ? image->boardName : "", test.board);
        EXPECT_TRUE(console.HoldsOnly(test.reporter, test.message));
    }
    EXPECT_EQ(manager->strategies.size(), 2u);
}

TEST_F(RomImageIOManagerTest, NamesUntitledImagesAfterTheFile) {
    EXPECT_EQ(LoadFile("dir\\Super Game.v1.nes", INesFile(1, 1))->name, "Super Game.v1");
    EXPECT_EQ(LoadFile("Plain", INesFile(1, 1))->name, "Plain");
    EXPECT_EQ(LoadFile("titled.nes", INesFile(1, 1, 0, "Real Title"))->name, "Real Title");
}

// The reason comes on the line before the caller's own complaint.
TEST_F(RomImageIOManagerTest, FilesThatCannotBeReadSayWhy) {
    const std::string big = folder.Write("big.nes", "").string();
    std::filesystem::resize_file(big, 64 * 1024 * 1024 + 1); // a hole: nothing is written
    const std::pair<std::string, std::string> cases[] = {
        {folder.Path("absent.nes").string(), "No such file or directory"},
        {folder.Path().string(), "Is a directory"},
        {big, "File too large for a cartridge (over 64 MiB)"},
    };
    for (const auto& [path, reason] : cases) {
        console.Clear();
        EXPECT_FALSE(manager->LoadImageFile(path, "nes"));
        EXPECT_TRUE(console.HoldsOnly("Halvo::Nes::RomImageIOManager::LoadImageFile", reason + ": " + path));
    }
}

} // namespace
} // namespace Halvo
