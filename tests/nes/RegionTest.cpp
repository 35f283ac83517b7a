#include "nes/Region.h"

#include <gtest/gtest.h>

#include "nes/rom/RomImage.h"

namespace Halvo {
namespace {

// The header's timing first, then the file name's mark, then NTSC.
TEST(Region, AutoTakesTheHeaderThenTheFileNameThenNtsc) {
    struct Case {
        std::uint32_t tvSystem;
        const char* file;
        Nes::Region expected;
    };
    const Case cases[] = {
        {Nes::TvPal, "game.nes", Nes::Region::Pal},
        {Nes::TvDendy, "game.nes", Nes::Region::Dendy},
        {Nes::TvNtsc, "game (E).nes", Nes::Region::Ntsc}, // a header that says NTSC wins over the name
        {Nes::TvBoth, "roms/game (E).nes", Nes::Region::Pal},
        {Nes::TvBoth, "game (Europe) (Rev 1).nes", Nes::Region::Pal},
        {Nes::TvBoth, "nes15-PAL.nes", Nes::Region::Pal},
        {Nes::TvBoth, "Palamedes.nes", Nes::Region::Ntsc},
        {Nes::TvBoth, "PALAMEDES.nes", Nes::Region::Ntsc}, // "PAL" only as a word of its own
        {Nes::TvBoth, "PAL/game.nes", Nes::Region::Ntsc},  // only the file's own name counts
        {Nes::TvBoth, "game (U).nes", Nes::Region::Ntsc},
    };
    for (const Case& test : cases) {
        Nes::RomImage image;
        image.tvSystem = test.tvSystem;
        EXPECT_EQ(Nes::RegionOfImage(image, test.file), test.expected) << test.file;
    }
}

} // namespace
} // namespace Halvo
