#include "shell/FileChooserList.h"

#include <fstream>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

class FileList : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"games/b-side", "games/Alpha", "games/.hidden"}) {
            std::filesystem::create_directories(dir.Path(folder));
        }
        for (const char* file : {"games/zelda.nes", "games/Mario.NES", "games/notes.txt", "games/.secret.nes",
                                 "games/b-side/song.nsf"}) {
            std::ofstream(dir.Path(file)) << "x";
        }
        std::filesystem::create_symlink(dir.Path("nowhere.nes"), dir.Path("games/dangling.nes"));
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const FileChooserList::Entry& entry : list.entries) {
            names.push_back(entry.name);
        }
        return names;
    }

    TestSupport::TempDir dir;
    FileChooserList list;
};

// Folders first, then the files Halvo loads, each sorted without regard to case; hidden entries, other
// files and links to nothing stay out.
TEST_F(FileList, ListsFoldersThenCartridges) {
    ASSERT_EQ(list.Open(dir.Path("games")), FileChooserList::Outcome::Walked);
    EXPECT_EQ(Names(), (Lines{"../", "Alpha/", "b-side/", "Mario.NES", "zelda.nes"}));
    EXPECT_EQ(list.Window(3), (Lines{"> ../", "  Alpha/", "  b-side/"}));
    EXPECT_TRUE(FileChooserList::IsCartridgeName("x.UNIF") && FileChooserList::IsCartridgeName("x.nsfe"));
    EXPECT_FALSE(FileChooserList::IsCartridgeName("nes") || FileChooserList::IsCartridgeName("x.nes.txt"));
}

// The arrows stop at the ends, the window follows the selection, a letter seeks, Enter walks into a
// folder and picks a file, and going up selects the folder the walk came from.
TEST_F(FileList, ArrowsAndEnterWalkAndPick) {
    list.Open(dir.Path("games"));
    list.Move(-3);
    EXPECT_EQ(list.selected, 0u);
    list.Move(10);
    EXPECT_EQ(list.selected, 4u);
    EXPECT_EQ(list.Window(3), (Lines{"  b-side/", "  Mario.NES", "> zelda.nes"}));
    list.Seek('m');
    EXPECT_EQ(list.selected, 3u);
    ASSERT_EQ(list.Choose(), FileChooserList::Outcome::Picked);
    EXPECT_EQ(list.picked, dir.Path("games/Mario.NES").string());

    list.Seek('B');
    ASSERT_EQ(list.Choose(), FileChooserList::Outcome::Walked);
    EXPECT_EQ(Names(), (Lines{"../", "song.nsf"}));
    list.First();
    ASSERT_EQ(list.Choose(), FileChooserList::Outcome::Walked); // "../"
    EXPECT_EQ(list.folder, dir.Path("games"));
    EXPECT_EQ(list.entries[list.selected].name, "b-side/");
    list.Up();
    EXPECT_EQ(list.entries[list.selected].name, "games/");
}

// A folder that cannot be read leaves the list as it was, with the reason.
TEST_F(FileList, UnreadableFolderKeepsTheList) {
    list.Open(dir.Path("games"));
    EXPECT_EQ(list.Open(dir.Path("missing")), FileChooserList::Outcome::Failed);
    EXPECT_NE(list.error.find("missing"), std::string::npos);
    EXPECT_EQ(list.folder, dir.Path("games"));
    EXPECT_EQ(list.entries.size(), 5u);
}

} // namespace
} // namespace Halvo
