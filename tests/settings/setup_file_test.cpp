// Setup file text: line ends, key lookup, integers, key writing, input that is no setup file.
#include "console/core/setup_file.h"

#include <sys/stat.h>

#include <chrono>

#include "settings_fixture.h"

namespace kestrom {
namespace {

using test::TempFolder;
using Lines = std::vector<std::string>;

TEST(SetupFileLines, EveryLineEndIsAcceptedAndAFinalOneStartsNoLine) {
    struct Case {
        const char* name;
        std::string text;
        Lines expected;
    };
    const Case cases[] = {
        {"CR LF", "A=1\r\nB=2\r\n", {"A=1", "B=2"}},
        {"lone CR", "A=1\rB=2\r", {"A=1", "B=2"}},
        {"lone LF, no final end", "A=1\nB=2", {"A=1", "B=2"}},
        {"mixed, with an empty line", "A=1\r\n\rB=2\nC=3", {"A=1", "", "B=2", "C=3"}},
        {"LF then CR is two ends", "A=1\n\rB=2", {"A=1", "", "B=2"}},
        {"empty file", "", {}},
        {"one empty line", "\r\n", {""}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitSetupLines(c.text), c.expected) << c.name;
}

TEST(SetupFileLookup, TheFirstLineHoldingTheKeyGivesTheTextAfterItsFirstEquals) {
    struct Case {
        const char* name;
        Lines lines;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"plain", {"ChopRate=1", "GainValue=2048"}, "GainValue=", "2048"},
        {"text before the key matches", {"MyGainValue=5", "GainValue=7"}, "GainValue=", "5"},
        {"the on/off key is another key", {"GainValueOnOff=1"}, "GainValue=", std::nullopt},
        {"the on/off key is found beside it",
         {"GainValue=7", "GainValueOnOff=1"},
         "GainValueOnOff=",
         "1"},
        {"case matters", {"gainvalue=5"}, "GainValue=", std::nullopt},
        {"an empty value is missing, later lines are not asked",
         {"GainValue=", "GainValue=9"},
         "GainValue=",
         std::nullopt},
        {"the first = of the line, not the key's",
         {"X=1 GainValue=5"},
         "GainValue=",
         "1 GainValue=5"},
        {"everything after the first =", {"GainValue==5 "}, "GainValue=", "=5 "},
        {"no lines", {}, "GainValue=", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(findSetupValue(c.lines, c.key), c.expected) << c.name;
}

TEST(SetupFileValues, OnlyA32BitSignedDecimalIsANumberAndAnythingElseIsZero) {
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"2048", 2048},
        {"-0", 0},
        {"+7", 7},
        {"007", 7},
        {" 12\t", 12},
        {"-50", -50},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"12abc", 0},
        {"99999999999", 0},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"1.5", 0},
        {"0x10", 0},
        {"$10", 0},
        {"--1", 0},
        {"+-1", 0},
        {"-", 0},
        {"12 3", 0},
        {" ", 0},
        {"", 0},
        {"123456789012345678901234567890", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(setupInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(SetupFileWriting, ReplacesTheFirstLineHoldingTheKeyAndAppendsMissingKeys) {
    Lines lines{"; bench 3", "MyGainValue=5", "GainValue=7", "ExposureTime=100", "Other"};
    writeSetupKey(lines, "GainValue=", 1234);
    writeSetupKey(lines, "ExposureTime=", -1);
    writeSetupKey(lines, "ChopRate=", 1);
    EXPECT_EQ(lines, (Lines{"; bench 3", "GainValue=1234", "GainValue=7", "ExposureTime=-1",
                            "Other", "ChopRate=1"}));

    TempFolder folder;
    ASSERT_FALSE(saveSetupFile(folder.file("a.setup"), lines));
    EXPECT_EQ(
        folder.read("a.setup"),
        "; bench 3\r\nGainValue=1234\r\nGainValue=7\r\nExposureTime=-1\r\nOther\r\nChopRate=1\r\n");
    EXPECT_EQ(readSetupFile(folder.file("a.setup")).lines, lines);
}

TEST(SetupFileReading, InputThatIsNoSetupFileHasAClearOutcomeAndNeverHangs) {
    TempFolder folder;
    folder.write("binary.setup", std::string("GainValue=5\r\n\x00\x01\x02", 16));
    folder.write("huge.setup", "GainValue=5\r\n" + std::string(kMaxSetupFileBytes, 'x'));
    folder.write("long.setup",
                 std::string(kMaxSetupFileBytes - 13, 'x') + "GainValue=42");  // one line, no end
    std::filesystem::create_directory(folder.file("folder.setup"));
    ASSERT_EQ(::mkfifo(folder.file("fifo.setup").c_str(), 0600), 0);

    struct Case {
        const char* name;
        SetupFileText::Status status;
        const char* errorPart;
    };
    const Case cases[] = {
        {"absent.setup", SetupFileText::Status::Missing, ""},
        {"folder.setup", SetupFileText::Status::Missing, ""},
        {"binary.setup", SetupFileText::Status::Unreadable, "binary data"},
        {"huge.setup", SetupFileText::Status::Unreadable, "larger than 1 MiB"},
        {"fifo.setup", SetupFileText::Status::Unreadable, "not a regular file"},
        {"long.setup", SetupFileText::Status::Read, ""},
    };
    auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupFileText t = readSetupFile(folder.file(c.name));
        EXPECT_EQ(t.status, c.status);
        EXPECT_NE(t.error.find(c.errorPart), std::string::npos) << t.error;
        if (c.status == SetupFileText::Status::Unreadable) {
            EXPECT_NE(t.error.find(folder.file(c.name)), std::string::npos)
                << "the message names the file";
            EXPECT_TRUE(t.lines.empty());
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    SetupFileText longLine = readSetupFile(folder.file("long.setup"));
    ASSERT_EQ(longLine.lines.size(), 1u);
    EXPECT_EQ(findSetupValue(longLine.lines, "GainValue="), "42")
        << "a line of 1 MiB is a line like any other";
}

TEST(SetupFileWriting, ANewFileTakesTheUmaskAndAReplacedOneKeepsItsMode) {
    TempFolder folder;
    struct stat st {};
    mode_t old = ::umask(027);
    RegistryWriteError made = saveSetupFile(folder.file("new.setup"), {"GainValue=1"});
    ::umask(old);
    ASSERT_FALSE(made) << *made;
    ASSERT_EQ(::stat(folder.file("new.setup").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    folder.write("shared.setup", "GainValue=1\r\n");
    ASSERT_EQ(::chmod(folder.file("shared.setup").c_str(), 0664), 0);
    ASSERT_FALSE(saveSetupFile(folder.file("shared.setup"), {"GainValue=2"}));
    ASSERT_EQ(::stat(folder.file("shared.setup").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
}

}  // namespace
}  // namespace kestrom
