#include "nes/rom/RomImageIOManager.h"

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
    const struct {
        const char* fileName;
        std::string content;
        const char* format;
        const char* board; // empty: nothing loads
        const char* error; // the iNES attempt's complaint, which stays when UNIF then succeeds
    } cases[] = {
        {"game.NES", INesFile(1, 1), "", "NROM", ""},
        {"game.Unf", UnifFile, "", "UNROM", ""},
        {"game.unif", UnifFile, "", "UNROM", ""},
        {"game", INesFile(1, 1), "", "NROM", ""},
        {"game", UnifFile, "", "UNROM", NotINes},
        {"game.rom", UnifFile, "UNIF", "UNROM", ""},
        {"game.unf", INesFile(1, 1), "", "NROM", ""},
        {"game.nes", UnifFile, "", "UNROM", NotINes},
        {"game.nes", "neither iNES nor UNIF data", "", "", NotINes},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.fileName);
        console.Clear();
        const auto image = LoadFile(test.fileName, test.content, test.format);
        EXPECT_EQ(image ? image->boardName : "", test.board);
        EXPECT_TRUE(console.HoldsOnly("Halvo::Nes::INesIOStrategy::LoadImage", test.error));
    }
    EXPECT_EQ(manager->strategies.size(), 2u);
}

TEST_F(RomImageIOManagerTest, NamesUntitledImagesAfterTheFile) {
    EXPECT_EQ(LoadFile("dir\\Super Game.v1.nes", INesFile(1, 1))->name, "Super Game.v1");
    EXPECT_EQ(LoadFile("Plain", INesFile(1, 1))->name, "Plain");
    EXPECT_EQ(LoadFile("titled.nes", INesFile(1, 1, 0, "Real Title"))->name, "Real Title");
    EXPECT_EQ(LoadFile("u.unf", UnifFile + Chunk("NAME", std::string("Named\0", 6)))->name, "Named");
}

TEST_F(RomImageIOManagerTest, MissingFilesGiveNullAndSayNothing) {
    EXPECT_FALSE(manager->LoadImageFile(folder.Path("absent.nes").string(), ""));
    EXPECT_FALSE(manager->LoadImageFile(folder.Path().string(), "nes")); // a folder opens but reads nothing
    EXPECT_TRUE(console.Lines().empty());
}

} // namespace
} // namespace Halvo
