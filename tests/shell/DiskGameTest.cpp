#include <filesystem>

#include <gtest/gtest.h>

#include "nes/Cartridges.h"
#include "nes/mmc/Fds.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImageIOManager.h"
#include "shell/GameStart.h"
#include "support/ConsoleCapture.h"
#include "support/DiskImage.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

struct DiskGame : ::testing::Test {
    DiskGame() { Nes::RegisterCartridgeSupport(*formats, *boards); }

    Game::Outcome Build(Game& game, const std::string& bios) {
        GameSettings settings;
        settings.diskBios = bios;
        return Game::Build(*formats, disk.string(), game, settings);
    }

    TestSupport::TempDir dir;
    TestSupport::ConsoleCapture console;
    Ref::Ptr<Nes::RomImageIOManager> formats{Nes::RomImageIOManager::Instance()};
    Ref::Ptr<Nes::MmcManager> boards{Nes::MmcManager::Instance()};
    std::filesystem::path disk = dir.Write("Game (Japan).fds", TestSupport::DiskFile(2, false));
};

TEST_F(DiskGame, WithoutItsBiosTheDiskSaysWhereTheBiosGoes) {
    Game game;
    EXPECT_EQ(Build(game, dir.Path("missing.rom").string()), Game::Outcome::NoBios);
    const std::vector<std::string> errors = console.ErrorLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("disksys.rom in " + Game::DefaultBiosFolder().string()), std::string::npos)
        << errors[0];
    EXPECT_NE(errors[0].find("fds_bios"), std::string::npos);
    EXPECT_FALSE(game.machine);
}

// What the game writes to its disk goes to a save of its own beside the battery saves, never into the
// image, and the next start reads it back.
TEST_F(DiskGame, WritesToTheDiskAreKeptInItsOwnSave) {
    const std::vector<std::uint8_t> stub = TestSupport::BiosStub(56);
    const auto bios = dir.Write("bios.rom", std::string(stub.begin(), stub.end()));
    const std::string original = TestSupport::ReadFile(disk);
    {
        Game game;
        ASSERT_EQ(Build(game, bios.string()), Game::Outcome::Built);
        game.Begin(dir.Path("saves"), Ref::Ptr<Gfx::NesCanvas>());
        Nes::Fds* drive = DiskDrive(*game.machine);
        ASSERT_TRUE(drive);
        EXPECT_EQ(drive->SideCount(), 2u);
        drive->tracks[Nes::Fds::TrackSize + 5000] = 0x5A; // side B, where a file would go
        ASSERT_TRUE(game.battery);
        EXPECT_TRUE(game.battery->Save());
        EXPECT_EQ(game.battery->path, dir.Path("saves") / "Game (Japan).disk.sav");
    }
    EXPECT_EQ(TestSupport::ReadFile(disk), original);
    Game again;
    ASSERT_EQ(Build(again, bios.string()), Game::Outcome::Built);
    again.Begin(dir.Path("saves"), Ref::Ptr<Gfx::NesCanvas>());
    EXPECT_EQ(DiskDrive(*again.machine)->tracks[Nes::Fds::TrackSize + 5000], 0x5A);
    // A disk game is Japanese: NTSC unless chosen otherwise.
    EXPECT_EQ(again.machine->region, Nes::Region::Ntsc);
}

} // namespace
} // namespace Halvo
