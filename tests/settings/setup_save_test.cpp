// Save As, the save prompt and the recent-file list that loads and saves keep.
#include "setup_fixture.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace kestrom {
namespace {

using test::SetupFilesTest;
using Lines = std::vector<std::string>;

class SetupSaveTest : public SetupFilesTest {
  protected:
    SetupSaveTest() {
        panel.panel =
            PanelSettings{1, 1, 1, 1, "4.00", true, 2, "1600", "Turn off", "2048", "Turn on"};
        state.current().SettingsChanged = true;
    }
    void saveAs(const std::string& name) {
        dialogs.files.push_back(file(name));
        setup.FileSaveAs1Execute();
    }
};

TEST_F(SetupSaveTest, ANewFileHoldsEveryKeyInTheSaveOrder) {
    saveAs("new.setup");
    EXPECT_EQ(folder.read("new.setup"),
              "ChopSource=1\r\nChopRate=1\r\nTriggerMethod=1\r\nPulseLockinOnOff=1\r\nPulsePeriod="
              "250000\r\n"
              "VideoTrigger=1\r\nVideoThreshold=2\r\nExposureTime=1600\r\nBadPixelsOnOff="
              "1\r\nGainValue=2048\r\n"
              "GainValueOnOff=0\r\n");
    EXPECT_FALSE(state.current().SettingsChanged);
    EXPECT_TRUE(state.current().SetupFile.empty())
        << "a save does not make the file the slot's setup file";
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].title, "Save setup file to disk (As).");
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, "*.setup");
}

TEST_F(SetupSaveTest, SavingIntoAFileWithOtherLinesKeepsThemAndReplacesKeysWhereTheyStand) {
    folder.write("old.setup",
                 "; bench 3\nMyGainValue=5\rExposureTime=100\r\nChopRate=0\r\nNotes=keep me\n");
    saveAs("old.setup");
    EXPECT_EQ(folder.read("old.setup"),
              "; bench 3\r\nGainValue=2048\r\nExposureTime=1600\r\nChopRate=1\r\nNotes=keep me\r\n"
              "ChopSource=1\r\nTriggerMethod=1\r\nPulseLockinOnOff=1\r\nPulsePeriod="
              "250000\r\nVideoTrigger=1\r\n"
              "VideoThreshold=2\r\nBadPixelsOnOff=1\r\nGainValueOnOff=0\r\n");
}

TEST_F(SetupSaveTest, FieldsThatAreNoNumbersAndUnselectedListsSaveTheirDefinedValues) {
    panel.panel = PanelSettings{0, 0, 0, 0, "", false, -1, "50x", "Turn on", "", "Turn off"};
    saveAs("odd.setup");
    EXPECT_EQ(
        folder.read("odd.setup"),
        "ChopSource=0\r\nChopRate=0\r\nTriggerMethod=0\r\nPulseLockinOnOff=0\r\nPulsePeriod=0\r\n"
        "VideoTrigger=0\r\nVideoThreshold=-1\r\nExposureTime=0\r\nBadPixelsOnOff=0\r\nGainValue="
        "0\r\n"
        "GainValueOnOff=1\r\n");
}

TEST(SetupPulsePeriod, IsAMillionDividedByTheRateTruncatedOrZero) {
    struct Case {
        const char* rate;
        std::int32_t period;
    };
    const Case cases[] = {
        {"4.00", 250000},  {"3", 333333},  {"0.30", 3333333}, {"-4", -250000},
        {" 12.5 ", 80000}, {"1000000", 1}, {"3000000", 0},    {"0", 0},
        {"0.00", 0},       {"", 0},        {"abc", 0},        {"4,00", 0},
        {"1e3", 0},        {"inf", 0},     {"0.0001", 0},  // ten thousand million microseconds does
                                                           // not fit
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetupFiles::pulsePeriodFromRate(c.rate), c.period) << c.rate;
}

TEST_F(SetupSaveTest, AHiddenExposureFieldOrACancelSavesNothing) {
    panel.hidden = true;
    setup.FileSaveAs1Execute();
    EXPECT_TRUE(dialogs.fileDialogs.empty());

    panel.hidden = false;
    state.current().SetupFile = file("loaded.setup");
    setup.FileSaveAs1Execute();  // no answer scripted: cancel
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, file("loaded.setup"))
        << "the slot's setup file is proposed";
    EXPECT_FALSE(folder.exists("loaded.setup"));
    EXPECT_TRUE(recent()[0].empty());
    EXPECT_TRUE(state.current().SettingsChanged);
}

TEST_F(SetupSaveTest, AFileThatCannotBeWrittenOrKeptIsReportedAndTheSettingsStayUnsaved) {
    struct Case {
        const char* name;
        std::string existing;  // empty: no such file
    };
    const Case cases[] = {
        {"missing-folder/a.setup", ""},
        {"binary.setup", std::string("ChopRate=1\r\n\x00\x01", 14)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.existing.empty()) folder.write(c.name, c.existing);
        panel.errors.clear();
        saveAs(c.name);
        ASSERT_EQ(panel.errors.size(), 1u);
        EXPECT_NE(panel.errors[0].find(file(c.name)), std::string::npos) << panel.errors[0];
        EXPECT_TRUE(state.current().SettingsChanged);
        if (!c.existing.empty()) {
            EXPECT_EQ(folder.read(c.name), c.existing);
        }
    }
}

TEST_F(SetupSaveTest, ThePromptSavesOnYesOnly) {
    dialogs.answers = {BoxAnswer::No};
    setup.offerToSaveSettings();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Settings were changed by you or via a settings file.");
    EXPECT_EQ(dialogs.boxes[0].text, "Do you want to save the new settings?");
    EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_TRUE(dialogs.fileDialogs.empty());

    dialogs.answers = {BoxAnswer::Yes};
    dialogs.files = {file("yes.setup")};
    setup.offerToSaveSettings();
    EXPECT_TRUE(folder.exists("yes.setup"));
    EXPECT_FALSE(state.current().SettingsChanged);
}

TEST_F(SetupSaveTest, LoadsAndSavesMoveTheirFileToTheFrontOfTheCamerasList) {
    folder.write("b.setup", "GainValue=1\r\n");
    saveAs("c.setup");
    saveAs("b.setup");
    saveAs("a.setup");
    EXPECT_EQ(recent(), (Lines{file("a.setup"), file("b.setup"), file("c.setup"), "", ""}));

    setup.OpenInit(file("b.setup"));
    EXPECT_EQ(recent(), (Lines{file("b.setup"), file("a.setup"), file("c.setup"), "", ""}));

    saveAs("d.setup");
    EXPECT_EQ(recent(),
              (Lines{file("d.setup"), file("b.setup"), file("a.setup"), file("c.setup"), ""}));

    saveAs("e.setup");
    saveAs("f.setup");
    EXPECT_EQ(recent(), (Lines{file("f.setup"), file("e.setup"), file("d.setup"), file("b.setup"),
                               file("a.setup")}));
    EXPECT_EQ(setup.lastSetupFile(), file("f.setup"));
    EXPECT_EQ(setup.regCtl().RegistryName, "\\Software\\Vantrel\\Kestrom3\\Control\\");
}

TEST_F(SetupSaveTest, TheListLivesUnderTheSerialNumberAndOnlyItsEntriesAreWritten) {
    setup.RecordSetupFile("/x/A.setup");
    setup.RecordSetupFile("/x/a.setup");  // names compare with case
    const std::string key = "\\Software\\Vantrel\\Kestrom3\\Control\\4660";
    EXPECT_EQ(store.value(RegistryHive::CurrentUser, key, "MRL1"),
              RegistryValue::string("/x/a.setup"));
    EXPECT_EQ(store.value(RegistryHive::CurrentUser, key, "MRL2"),
              RegistryValue::string("/x/A.setup"));
    EXPECT_FALSE(store.value(RegistryHive::CurrentUser, key, "MRL3"))
        << "entries beyond the list are not touched";

    // Empty entries close up; an entry beyond the list's new length keeps its old value.
    TRegCtl ctl(store);
    ctl.RegistryName = key;
    for (auto [name, value] :
         {std::pair{"MRL1", "A"}, {"MRL2", ""}, {"MRL3", "C"}, {"MRL4", ""}, {"MRL5", ""}}) {
        ctl.ItemName = name;
        ctl.SetItemValue(value);
    }
    setup.RecordSetupFile("C");
    EXPECT_EQ(recent(), (Lines{"C", "A", "C", "", ""}));
}

// Counts the files renamed into a folder: every store write ends in one such rename.
class RenameCounter {
  public:
    explicit RenameCounter(const std::string& folder)
        : fd_(inotify_init1(IN_NONBLOCK)), watch_(inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO)) {}
    ~RenameCounter() { ::close(fd_); }
    int renames() const {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                ++count;
                p += sizeof(inotify_event) + event->len;
            }
        return count;
    }
    bool watching() const { return fd_ >= 0 && watch_ >= 0; }

  private:
    int fd_;
    int watch_;
};

TEST_F(SetupSaveTest, TheWholeListIsWrittenInOneStoreWrite) {
    for (const char* name : {"a", "b", "c", "d"}) setup.RecordSetupFile(file(name));
    RenameCounter counter(config.path());
    ASSERT_TRUE(counter.watching());
    setup.RecordSetupFile(file("e"));
    EXPECT_EQ(counter.renames(), 1) << "a kill between two writes would lose an entry";
    EXPECT_EQ(recent(), (Lines{file("e"), file("d"), file("c"), file("b"), file("a")}));
}

}  // namespace
}  // namespace kestrom
