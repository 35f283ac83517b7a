#include <filesystem>

#include <gtest/gtest.h>

#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/rom/UnifIOStrategy.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

// Published test programs and homebrew, loaded through the manager as the shell loads them.
class RealRomFiles : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(HALVO_TESTROMS_DIR)) {
            GTEST_SKIP() << "The test ROM folder " << HALVO_TESTROMS_DIR << " is absent.";
        }
        manager->RegisterStrategy(Nes::INesIOStrategy());
        manager->RegisterStrategy(Nes::UnifIOStrategy());
    }

    std::unique_ptr<Nes::RomImage> Load(const std::string& path) {
        return manager->LoadImageFile(std::string(HALVO_TESTROMS_DIR) + "/" + path, "");
    }

    TestSupport::ConsoleCapture console;
    Ref::Ptr<Nes::RomImageIOManager> manager{Nes::RomImageIOManager::Instance()};
};

TEST_F(RealRomFiles, NestestIsAnNromImage) {
    const auto image = Load("cpu/nestest.nes");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->boardName, "NROM");
    EXPECT_EQ(image->prgBankCount, 1u);
    EXPECT_EQ(image->chrBankCount, 1u);
    EXPECT_TRUE(console.ErrorLines().empty());
}

TEST_F(RealRomFiles, TheUnifAndINesBuildsOfOneDemoHoldTheSameProgram) {
    const auto unif = Load("games/smwstomp.unif");
    const auto ines = Load("games/smwstomp.nes");
    ASSERT_TRUE(unif && ines);
    EXPECT_EQ(unif->boardName, "NES-TLROM");
    EXPECT_EQ(unif->name, "Super Mario World 'Stomper' demo");
    EXPECT_EQ(unif->prgBankCount, 2u);
    EXPECT_EQ(unif->chrBankCount, 1u);
    ASSERT_EQ(ines->prgBankCount, unif->prgBankCount);
    EXPECT_TRUE(std::equal(unif->prgRom.get(), unif->prgRom.get() + 2 * 16384, ines->prgRom.get()));
    EXPECT_EQ(unif->prgCrc, ines->prgCrc);
    EXPECT_TRUE(console.ErrorLines().empty());
}

} // namespace
} // namespace Halvo
