#include <filesystem>

#include <gtest/gtest.h>

#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/rom/UnifIOStrategy.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

// A published homebrew demo in UNIF, loaded through the manager as the shell loads it. (The conformance
// tests run both of its builds and nestest through the whole machine.)
TEST(RealRomFiles, TheStomperDemoInUnif) {
    if (!std::filesystem::is_directory(HALVO_TESTROMS_DIR)) {
        GTEST_SKIP() << "The test ROM folder " << HALVO_TESTROMS_DIR << " is absent.";
    }
    TestSupport::ConsoleCapture console;
    Ref::Ptr<Nes::RomImageIOManager> manager(Nes::RomImageIOManager::Instance());
    manager->RegisterStrategy(Nes::INesIOStrategy());
    manager->RegisterStrategy(Nes::UnifIOStrategy());
    const auto unif = manager->LoadImageFile(std::string(HALVO_TESTROMS_DIR) + "/games/smwstomp.unif", "");
    ASSERT_TRUE(unif);
    EXPECT_EQ(unif->boardName, "NES-TLROM");
    EXPECT_EQ(unif->name, "Super Mario World 'Stomper' demo");
    EXPECT_EQ(unif->prgBankCount * 10 + unif->chrBankCount, 21u);
    EXPECT_TRUE(console.ErrorLines().empty());
}

} // namespace
} // namespace Halvo
