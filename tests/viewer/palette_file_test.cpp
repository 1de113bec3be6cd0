// Palette files and text palettes on disk: the 1032-byte round trip, names with spaces and
// non-ASCII letters, files that are no palette files, and saves that fail.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "platform/dialog_service.h"
#include "settings/settings_fixture.h"
#include "viewer/core/pal.h"
#include "viewer/core/palette_file.h"
#include "viewer/core/palette_items.h"
#include "viewer/core/palette_map.h"

namespace kestrom {
namespace {

using test::TempFolder;

// A palette with odd flags and further bytes, which a file must carry unchanged.
LogPalette samplePalette() {
    LogPalette p;
    p.entries = TPal::CreatePalette(0)->entries();
    p.entries[200] = {1, 2, 3, 0x7E};
    p.further = {0xDE, 0xAD, 0xBE, 0xEF};
    return p;
}

class PaletteFileTest : public ::testing::Test {
  protected:
    TempFolder folder;
    ScriptedDialogs dialogs;
    TPaletteMap map{dialogs};
};

TEST_F(PaletteFileTest, APaletteFileIsTheBlockInLittleEndianBytes) {
    const std::string file = folder.file("sample.pal");
    map.SetPalette(samplePalette());
    ASSERT_TRUE(map.SavePalette(file));
    std::string bytes = folder.read("sample.pal");
    ASSERT_EQ(bytes.size(), 1032u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x00\x03\x00\x01", 4));
    EXPECT_EQ(bytes.substr(4 + 4 * 11, 4), std::string("\x28\x00\x3C\x04", 4));   // entry 11
    EXPECT_EQ(bytes.substr(4 + 4 * 200, 4), std::string("\x01\x02\x03\x7E", 4));
    EXPECT_EQ(bytes.substr(1028), "\xDE\xAD\xBE\xEF");
}

TEST_F(PaletteFileTest, AFreshPaletteSavesAFileItCanLoad) {
    const std::string file = folder.file("fresh.pal");
    ASSERT_TRUE(map.SavePalette(file));
    EXPECT_EQ(folder.read("fresh.pal").substr(1028), std::string(4, '\0'));
    EXPECT_NE(map.LoadPalette(file), nullptr);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(PaletteFileTest, SavedAndLoadedPalettesAreTheSameUnderAnyName) {
    for (const char* name : {"plain.pal", "with spaces in it.pal", "Größe ° Ω 調色板.pal", " lead"}) {
        SCOPED_TRACE(name);
        const std::string file = folder.file(name);
        map.SetPalette(samplePalette());
        ASSERT_TRUE(map.SavePalette(file));

        TPaletteMap loaded(dialogs);
        const LogPalette* block = loaded.LoadPalette(file);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(*block, samplePalette());
        EXPECT_EQ(loaded.Items(), itemsFromPalette(samplePalette()));
        EXPECT_TRUE(dialogs.boxes.empty());
    }
}

TEST_F(PaletteFileTest, LoadingKeepsThePaletteInUseUntilItIsRebuilt) {
    const std::string file = folder.file("sample.pal");
    ASSERT_TRUE(writePaletteFile(file, samplePalette()) == std::nullopt);
    map.setItems({"11 9 9 9"});
    PaletteHandle before = map.GetAPalette();
    ASSERT_NE(map.LoadPalette(file), nullptr);
    EXPECT_EQ(map.GetAPalette(), before);
    EXPECT_EQ(before->color(11), colorOf({9, 9, 9, 0}));
    map.FreePalette();
    EXPECT_EQ(map.GetAPalette()->color(11), 0x3C0028u);
}

// Permissions do not stop root, so the cases that rest on them run for other users only.
bool permissionsStopUs() { return ::geteuid() != 0; }

struct BadFile {
    const char* what;
    std::function<void(const TempFolder&, const std::string& name)> make;
    std::string message;
    bool needsPermissions = false;
};

TEST_F(PaletteFileTest, FilesThatAreNoPaletteFilesAreNamedAndChangeNothing) {
    const std::string good = encodePaletteFile(samplePalette());
    auto bytes = [](std::string b) {
        return [b](const TempFolder& f, const std::string& name) { f.write(name, b); };
    };
    const BadFile cases[] = {
        {"no such file", [](const TempFolder&, const std::string&) {}, "Cannot open input file.\n"},
        {"a folder", [](const TempFolder& f, const std::string& n) { ::mkdir(f.file(n).c_str(), 0700); },
         "Cannot open input file.\n"},
        {"a FIFO", [](const TempFolder& f, const std::string& n) { ::mkfifo(f.file(n).c_str(), 0600); },
         "Cannot open input file.\n"},
        {"unreadable",
         [good](const TempFolder& f, const std::string& n) {
             f.write(n, good);
             ::chmod(f.file(n).c_str(), 0);
         },
         "Cannot open input file.\n", true},
        {"empty", bytes(""), "Not a palette file: it holds 0 bytes, a palette file holds 1032.\n"},
        {"one byte short", bytes(good.substr(0, 1031)),
         "Not a palette file: it holds 1031 bytes, a palette file holds 1032.\n"},
        {"one byte long", bytes(good + "x"), "Not a palette file: it holds more than 1032 bytes.\n"},
        {"a text palette", bytes(itemsText(itemsFromPalette(samplePalette()))),
         "Not a palette file: it holds more than 1032 bytes.\n"},
        {"1032 bytes of text", bytes(std::string(1032, 'a')),
         "Not a palette file: its header gives version 0x6161 and entry count 24929, a palette "
         "file has version 0x300 and entry count 256.\n"},
        {"255 entries", bytes(std::string("\x00\x03\xFF\x00", 4) + good.substr(4)),
         "Not a palette file: its header gives version 0x300 and entry count 255, a palette "
         "file has version 0x300 and entry count 256.\n"},
        {"big-endian header", bytes(std::string("\x03\x00\x01\x00", 4) + good.substr(4)),
         "Not a palette file: its header gives version 0x3 and entry count 1, a palette file "
         "has version 0x300 and entry count 256.\n"},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsPermissions && !permissionsStopUs()) continue;
        const std::string name = std::string("bad ") + c.what + ".pal";
        c.make(folder, name);
        map.SetPalette(samplePalette());
        map.setItems({"1 2 3 4", "my own line"});
        dialogs.boxes.clear();

        EXPECT_EQ(map.LoadPalette(folder.file(name)), nullptr);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].caption, folder.file(name));
        EXPECT_EQ(dialogs.boxes[0].text, c.message);
        EXPECT_EQ(map.Items(), (std::vector<std::string>{"1 2 3 4", "my own line"}));
        LogPalette expected = samplePalette();
        expected.entries[1] = {2, 3, 4, kNoCollapse};
        map.FreePalette();
        dialogs.boxes.clear();
        EXPECT_EQ(map.GetLogPalette(), expected);
    }
}

TEST_F(PaletteFileTest, TheTextPaletteIsOneLinePerEntryEndedByCrLf) {
    map.setItems({"0 1 2 3", "junk stays as it is"});
    ASSERT_TRUE(map.SaveToFile(folder.file("text palette ä.txt")));
    EXPECT_EQ(folder.read("text palette ä.txt"), "0 1 2 3\r\njunk stays as it is\r\n");
}

struct SaveCase {
    const char* what;
    std::function<std::string(const TempFolder&)> target;
    bool needsPermissions = false;
};

TEST_F(PaletteFileTest, SavesThatCannotOpenTheirFileSaySoAndLeaveNothing) {
    const SaveCase cases[] = {
        {"a missing folder", [](const TempFolder& f) { return f.file("no folder/x.pal"); }},
        {"a folder under the name",
         [](const TempFolder& f) {
             ::mkdir(f.file("folder.pal").c_str(), 0700);
             return f.file("folder.pal");
         }},
        {"a file as the folder",
         [](const TempFolder& f) {
             f.write("plain", "x");
             return f.file("plain/x.pal");
         }},
        {"a read-only folder",
         [](const TempFolder& f) {
             ::mkdir(f.file("read-only").c_str(), 0500);
             return f.file("read-only/x.pal");
         },
         true},
    };
    map.SetPalette(samplePalette());
    for (const SaveCase& c : cases) {
        if (c.needsPermissions && !permissionsStopUs()) continue;
        const std::string file = c.target(folder);
        const std::vector<std::string> before = folder.names();
        for (auto save : {&TPaletteMap::SavePalette, &TPaletteMap::SaveToFile}) {
            SCOPED_TRACE(c.what);
            dialogs.boxes.clear();
            EXPECT_FALSE((map.*save)(file));
            ASSERT_EQ(dialogs.boxes.size(), 1u);
            EXPECT_EQ(dialogs.boxes[0].caption, file);
            EXPECT_EQ(dialogs.boxes[0].text, "Cannot open output file.\n");
            EXPECT_EQ(folder.names(), before);
        }
    }
}

// A file-size limit makes the write fail after the temporary file was opened, as a full disk
// does; the earlier file must stay whole and no temporary file may stay behind.
TEST_F(PaletteFileTest, ASaveThatFailsWhileWritingLeavesTheEarlierFileWhole) {
    const std::string file = folder.file("kept palette.pal");
    map.SetPalette(samplePalette());
    ASSERT_TRUE(map.SavePalette(file));
    ASSERT_TRUE(map.SaveToFile(folder.file("kept text.txt")));
    const std::string palette = folder.read("kept palette.pal");
    const std::string text = folder.read("kept text.txt");
    const std::vector<std::string> names = folder.names();

    map.SetPalette(LogPalette{});   // other bytes, so that a save that went through would show
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool savedPalette = map.SavePalette(file);
    bool savedText = map.SaveToFile(folder.file("kept text.txt"));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(savedPalette);
    EXPECT_FALSE(savedText);
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(folder.read("kept palette.pal"), palette);
    EXPECT_EQ(folder.read("kept text.txt"), text);
    EXPECT_EQ(folder.names(), names);
}

}  // namespace
}  // namespace kestrom
