#include "nes/debug/Symbols.h"

#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace Halvo {
namespace {

// The three label formats a homebrew build produces, each placing its names where the processor sees
// them; the ones found beside a cartridge load by themselves.
TEST(Symbols, ReadsDebugFilesNameListsAndMesenLabels) {
    TestSupport::TempDir dir;
    dir.Write("game.dbg",
              "version major=2,minor=0\n"
              "file id=0,name=\"src/main.s\",size=100,mtime=0x0,mod=0\n"
              "seg id=0,name=\"CODE\",start=0x00C000,size=0x0100,addrsize=absolute,type=ro\n"
              "span id=0,seg=0,start=16,size=3\n"
              "line id=0,file=0,line=42,span=0\n"
              "sym id=0,name=\"reset\",addrsize=absolute,scope=0,def=0,val=0xC010,seg=0,type=lab\n"
              "sym id=1,name=\"LIVES\",addrsize=zeropage,scope=0,def=0,val=0x3,type=equ\n");
    dir.Write("game.nes.ram.nl", "$0010#player_x#where the player stands\n$0011#player_y#\n");
    dir.Write("game.nes", "");
    dir.Write("labels.mlb", "P:0020:nmi_handler:comment\nR:0300:buffer\nW:0010:save_slot\nG:2000:PPUCTRL\n");

    Nes::Symbols symbols;
    const std::string read = symbols.LoadBeside(dir.Path("game.nes").string(), 0x4000);
    EXPECT_EQ(read, "game.dbg, game.nes.ram.nl");
    ASSERT_TRUE(symbols.NameOf(0xC010));
    EXPECT_EQ(*symbols.NameOf(0xC010), "reset");
    // A constant is no address.
    EXPECT_FALSE(symbols.AddressOf("LIVES"));
    EXPECT_EQ(symbols.SourceLineOf(0xC010), "main.s:42");
    EXPECT_EQ(symbols.AddressOf("player_y"), 0x0011);

    std::string error;
    ASSERT_TRUE(symbols.Load(dir.Path("labels.mlb").string(), 0x4000, error)) << error;
    EXPECT_EQ(symbols.AddressOf("nmi_handler"), 0xC020);
    EXPECT_EQ(symbols.AddressOf("buffer"), 0x0300);
    EXPECT_EQ(symbols.AddressOf("save_slot"), 0x6010);
    EXPECT_EQ(symbols.AddressOf("PPUCTRL"), 0x2000);

    EXPECT_FALSE(symbols.Load(dir.Path("game.nes").string(), 0x4000, error));
    EXPECT_NE(error.find("not a label file"), std::string::npos) << error;
    dir.Write("broken.dbg", "sym id=0,name=\"x\",val=0x10,type=lab\n");
    EXPECT_FALSE(symbols.Load(dir.Path("broken.dbg").string(), 0x4000, error));
    EXPECT_FALSE(symbols.Load(dir.Path("missing.nl").string(), 0x4000, error));
}

} // namespace
} // namespace Halvo
