#include <filesystem>

#include <gtest/gtest.h>

#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/rom/UnifIOStrategy.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

// Published test programs and homebrew, loaded through the manager as the shell loads them.
TEST(RealRomFiles, NestestAndBothBuildsOfTheStomperDemo) {
    if (!std::filesystem::is_directory(HALVO_TESTROMS_DIR)) {
        GTEST_SKIP() << "The test ROM folder " << HALVO_TESTROMS_DIR << " is absent.";
    }
    TestSupport::ConsoleCapture console;
    Ref::Ptr<Nes::RomImageIOManager> manager(Nes::RomImageIOManager::Instance());
    manager->RegisterStrategy(Nes::INesIOStrategy());
    manager->RegisterStrategy(Nes::UnifIOStrategy());
    const auto load = [&](const char* path) {
        return manager->LoadImageFile(std::string(HALVO_TESTROMS_DIR) + "/" + path, "");
    };
    const auto nestest = load("cpu/nestest.nes");
    ASSERT_TRUE(nestest);
    EXPECT_EQ(nestest->boardName, "NROM");
    EXPECT_EQ(nestest->prgBankCount * 10 + nestest->chrBankCount, 11u);

    const auto unif = load("games/smwstomp.unif");
    const auto ines = load("games/smwstomp.nes");
    ASSERT_TRUE(unif && ines);
    EXPECT_EQ(unif->boardName, "NES-TLROM");
    EXPECT_EQ(unif->name, "Super Mario World 'Stomper' demo");
    EXPECT_EQ(unif->prgBankCount * 10 + unif->chrBankCount, 21u);
    ASSERT_EQ(ines->prgBankCount, unif->prgBankCount);
    EXPECT_TRUE(std::equal(unif->prgRom.get(), unif->prgRom.get() + 2 * 16384, ines->prgRom.get()));
    EXPECT_TRUE(console.ErrorLines().empty());
}

} // namespace
} // namespace Halvo
