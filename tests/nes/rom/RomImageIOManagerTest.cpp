#include "nes/rom/RomImageIOManager.h"

#include <sstream>

#include <gtest/gtest.h>

#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomFiles.h"
#include "nes/rom/UnifIOStrategy.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::Chunk;
using TestSupport::ConsoleCapture;
using TestSupport::INesFile;
using TestSupport::IsReport;
using TestSupport::UnifHeader;
using Lines = std::vector<std::string>;

// The manager as the shell sets it up: iNES first, then UNIF.
class RomImageIOManagerTest : public testing::Test {
protected:
    RomImageIOManagerTest() : manager(Nes::RomImageIOManager::Instance()) {
        manager->RegisterStrategy(Nes::INesIOStrategy());
        manager->RegisterStrategy(Nes::UnifIOStrategy());
    }

    std::unique_ptr<Nes::RomImage> LoadFile(const std::string& name, const std::string& content,
                                            const std::string& format = "") {
        return manager->LoadImageFile(folder.Write(name, content).string(), format);
    }

    ConsoleCapture console;
    TestSupport::TempDir folder;
    Ref::Ptr<Nes::RomImageIOManager> manager;
};

const std::string UnifFile = UnifHeader() + Chunk("MAPR", std::string("UNROM\0", 6)) + Chunk("PRG0", "x");

TEST_F(RomImageIOManagerTest, IsOneInstanceAndKeepsOneStrategyPerClass) {
    EXPECT_EQ(Nes::RomImageIOManager::Instance(), manager.Get());
    EXPECT_FALSE(manager->RegisterStrategy(Nes::INesIOStrategy()));
    ASSERT_EQ(manager->strategies.size(), 2u);
    EXPECT_EQ(manager->strategies.front()->GetDescription(), "iNES (*.NES)");
    EXPECT_EQ(manager->strategies.back()->GetDescription(), "UNIF (*.UNIF, *.UNF)");
    EXPECT_TRUE(manager->strict);
}

TEST_F(RomImageIOManagerTest, TriesTheExtensionsFormatFirstThenTheOthers) {
    const struct {
        const char* fileName;
        std::string content;
        const char* format;
        const char* board;
        Lines errors;
    } cases[] = {
        {"game.NES", INesFile(1, 1), "", "NROM", {}},
        {"game.Unf", UnifFile, "", "UNROM", {}},
        {"game.unif", UnifFile, "", "UNROM", {}},
        {"game", INesFile(1, 1), "", "NROM", {}},
        {"game", UnifFile, "", "UNROM", {"Invalid iNES header."}},
        {"game.rom", UnifFile, "UNIF", "UNROM", {}},
        {"game.unf", INesFile(1, 1), "", "NROM", {}},
        // The iNES attempt complains before the UNIF one succeeds; the complaint stays.
        {"game.nes", UnifFile, "", "UNROM", {"Invalid iNES header."}},
        {"game.nes", "neither iNES nor UNIF data", "", nullptr, {"Invalid iNES header."}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.fileName);
        console.Clear();
        const auto image = LoadFile(test.fileName, test.content, test.format);
        if (test.board) {
            ASSERT_TRUE(image);
            EXPECT_EQ(image->boardName, test.board);
        } else {
            EXPECT_FALSE(image);
        }
        const Lines errors = console.ErrorLines();
        ASSERT_EQ(errors.size(), test.errors.size());
        for (std::size_t index = 0; index < errors.size(); ++index) {
            EXPECT_TRUE(IsReport(errors[index], "Halvo::Nes::INesIOStrategy::LoadImage", test.errors[index]));
        }
    }
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

TEST_F(RomImageIOManagerTest, StreamAttemptsStartWhereTheFirstDid) {
    std::istringstream in("prefix" + UnifFile);
    in.seekg(6);
    const auto image = manager->LoadImageStream(in, "NES");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->boardName, "UNROM");

    // A truncated iNES file leaves the stream failed: the search ends there.
    std::istringstream truncated(INesFile(2, 1).substr(0, 1000));
    EXPECT_FALSE(manager->LoadImageStream(truncated, "nes"));
    EXPECT_TRUE(truncated.fail());
}

} // namespace
} // namespace Halvo
