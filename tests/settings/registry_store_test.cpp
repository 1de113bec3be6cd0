// The registry stand-in: file format, names without case, reloads, atomic writes, damaged files.
#include <signal.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include "settings_fixture.h"

namespace kestrom {
namespace {

using test::kRegHeader;
using test::TempFolder;
constexpr RegistryHive kUser = RegistryHive::CurrentUser;
constexpr RegistryHive kMachine = RegistryHive::LocalMachine;
constexpr const char* kControl = "\\Software\\Vantrel\\Kestrom3\\Control\\";

std::optional<RegistryValue> text(std::string s) { return RegistryValue::string(std::move(s)); }
std::optional<RegistryValue> dword(std::uint32_t n) { return RegistryValue::number(n); }

class RegistryStoreTest : public ::testing::Test {
  protected:
    RegistryStoreTest() : store(folder.path()) {
        store.setWarningSink([this](const std::string& w) { warnings.push_back(w); });
    }
    TempFolder folder;
    RegistryStore store;
    std::vector<std::string> warnings;
};

TEST_F(RegistryStoreTest, WritesTheTextOfARegistryExportAndReadsItBack) {
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(300)));
    ASSERT_FALSE(store.setValue(kUser, kControl, "SoundOnOff1", RegistryValue::number(1)));
    ASSERT_FALSE(store.setValue(kUser, "\\Software\\Vantrel\\Kestrom3\\Control\\1234\\", "MRL1",
                                RegistryValue::string(R"(C:\Setups\"bench"\a.setup)")));
    ASSERT_FALSE(store.setValue(kUser, kControl, "Top", RegistryValue::number(0xFFFFFFF6)));  // -10
    ASSERT_FALSE(store.setValue(kUser, kControl, "", RegistryValue::string("")));

    EXPECT_EQ(folder.read("user.reg"),
              std::string(kRegHeader) +
                  "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control]\n"
                  "\"Left\"=dword:0000012c\n"
                  "\"SoundOnOff1\"=dword:00000001\n"
                  "\"Top\"=dword:fffffff6\n"
                  "@=\"\"\n"
                  "\n"
                  "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control\\1234]\n"
                  "\"MRL1\"=\"C:\\\\Setups\\\\\\\"bench\\\"\\\\a.setup\"\n"
                  "\n");

    RegistryStore again(folder.path());
    EXPECT_EQ(again.value(kUser, kControl, "Left"), dword(300));
    EXPECT_EQ(again.value(kUser, kControl, "Top"), dword(0xFFFFFFF6));
    EXPECT_EQ(again.value(kUser, kControl, ""), text(""));
    EXPECT_EQ(again.value(kUser, std::string(kControl) + "1234", "MRL1"),
              text(R"(C:\Setups\"bench"\a.setup)"));
    EXPECT_FALSE(again.value(kUser, kControl, "Width"));
    EXPECT_TRUE(again.keyExists(kUser, "\\Software\\Vantrel"));
    EXPECT_FALSE(again.keyExists(kUser, "\\Software\\Vantrel\\Kestrom3\\Viewer"));
}

TEST_F(RegistryStoreTest, ReadsFilesWrittenByHandOrCopiedFromWindows) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    auto utf16 = [](const std::string& ascii) {
        std::string out("\xFF\xFE", 2);
        for (char c : ascii) out += std::string{c, '\0'};
        return out;
    };
    const std::string body =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; the bench camera\r\n"
        "[hkey_current_user\\SOFTWARE\\Vantrel\\Kestrom3\\Control]\r\n"
        "\"Left\"=DWORD:12C\r\n"
        "\"1234\" = \"Bench\"\r\n"
        "\"Blob\"=hex:01,02,\\\r\n  03,04\r\n"
        "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control\\1234]\r\n"
        "\"MRL1\"=\"C:\\Setups\\one.setup\"\r\n";  // single backslashes, as a user types a path
    for (const Case& c : {Case{"CR LF", body}, Case{"UTF-16 with byte-order mark", utf16(body)},
                          Case{"UTF-8 with byte-order mark", "\xEF\xBB\xBF" + body}}) {
        SCOPED_TRACE(c.name);
        folder.write("user.reg", c.bytes);
        EXPECT_EQ(store.value(kUser, kControl, "Left"), dword(300));
        EXPECT_EQ(store.value(kUser, kControl, "1234"), text("Bench"));
        EXPECT_EQ(store.value(kUser, std::string(kControl) + "1234", "MRL1"),
                  text("C:\\Setups\\one.setup"));
        EXPECT_EQ(store.value(kUser, kControl, "Blob")->kind, RegistryValue::Kind::Other);
    }
    EXPECT_TRUE(warnings.empty()) << warnings.front();

    // A value of a type the console never writes survives a rewrite of the file.
    ASSERT_FALSE(store.setValue(kUser, kControl, "Width", RegistryValue::number(5)));
    EXPECT_NE(folder.read("user.reg").find("\"Blob\"=hex:01,02,\\\n  03,04\n"), std::string::npos);
}

TEST_F(RegistryStoreTest, NamesIgnoreCaseAndKeepTheCaseFirstWritten) {
    ASSERT_FALSE(store.setValue(kUser, "\\Software\\Vantrel\\Kestrom3\\Control", "SoundOnOff1",
                                RegistryValue::number(1)));
    ASSERT_FALSE(store.setValue(kUser, "software\\VANTREL\\kestrom3\\control\\", "soundonoff1",
                                RegistryValue::number(0)));
    ASSERT_FALSE(store.setValue(kUser, "\\SOFTWARE\\Vantrel\\Kestrom3\\Control\\Viewer", "X",
                                RegistryValue::number(1)));

    EXPECT_EQ(store.value(kUser, "\\software\\vantrel\\kestrom3\\CONTROL", "SOUNDONOFF1"),
              dword(0));
    std::string file = folder.read("user.reg");
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control]"
                        "\n\"SoundOnOff1\"=dword:00000000\n"),
              std::string::npos);
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control\\Viewer]"),
              std::string::npos);
    EXPECT_EQ(file.find("soundonoff1"), std::string::npos);
    EXPECT_EQ(file.find("SOFTWARE"), std::string::npos);
}

TEST_F(RegistryStoreTest, EveryAccessSeesTheFileAsItIsNow) {
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(1)));
    folder.write(
        "user.reg",
        std::string(kRegHeader) +
            "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control]\n\"Left\"=dword:00000002\n");
    EXPECT_EQ(store.value(kUser, kControl, "Left"), dword(2));
    // A write starts from the edited file, not from what this store wrote before.
    ASSERT_FALSE(store.setValue(kUser, kControl, "Top", RegistryValue::number(3)));
    RegistryStore again(folder.path());
    EXPECT_EQ(again.value(kUser, kControl, "Left"), dword(2));
    EXPECT_EQ(again.value(kUser, kControl, "Top"), dword(3));
}

TEST_F(RegistryStoreTest, SystemHiveIsReadButNeverWritten) {
    const std::string system =
        std::string(kRegHeader) +
        "[HKEY_LOCAL_MACHINE\\Software\\Vantrel\\OruPC]\n\"EXEPath\"=\"/opt/orupc/orupc\"\n";
    folder.write("system.reg", system);
    EXPECT_EQ(store.value(kMachine, "\\Software\\Vantrel\\OruPC", "EXEPath"),
              text("/opt/orupc/orupc"));
    EXPECT_TRUE(store.setValue(kMachine, "\\Software\\Vantrel\\OruPC", "EXEPath",
                               RegistryValue::string("x")));
    EXPECT_TRUE(store.createKey(kMachine, "\\Software\\Vantrel\\New"));
    EXPECT_EQ(folder.read("system.reg"), system);
    // The two hives are apart: the user's file does not answer for the machine.
    ASSERT_FALSE(store.setValue(kUser, "\\Software\\Vantrel\\OruPC", "EXEPath",
                                RegistryValue::string("/home/u/orupc")));
    EXPECT_EQ(store.value(kMachine, "\\Software\\Vantrel\\OruPC", "EXEPath"),
              text("/opt/orupc/orupc"));
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"system.reg", "user.reg"}));
}

TEST_F(RegistryStoreTest, CreatingAKeyWritesItOnceAndAnEmptyKeyIsKept) {
    ASSERT_FALSE(store.createKey(kUser, "\\Software\\Vantrel\\Kestrom3\\Control\\77\\"));
    EXPECT_TRUE(store.keyExists(kUser, "\\Software\\Vantrel\\Kestrom3\\Control\\77"));
    EXPECT_EQ(folder.read("user.reg"),
              std::string(kRegHeader) +
                  "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control\\77]\n\n");
    // Neither an existing key nor an unchanged value rewrites the file.
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(4)));
    struct stat before {};
    ::stat(folder.file("user.reg").c_str(), &before);
    ASSERT_FALSE(store.createKey(kUser, kControl));
    ASSERT_FALSE(store.setValue(kUser, kControl, "LEFT", RegistryValue::number(4)));
    struct stat after {};
    ::stat(folder.file("user.reg").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(RegistryStoreTest, TextsWithLineBreaksAreRefusedAndNothingIsWritten) {
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(1)));
    const std::string before = folder.read("user.reg");
    EXPECT_TRUE(store.setValue(kUser, kControl, "1234", RegistryValue::string("two\nlines")));
    EXPECT_TRUE(store.setValue(kUser, kControl, "a\rb", RegistryValue::number(1)));
    EXPECT_TRUE(store.createKey(kUser, "\\Software\\bad\nkey"));
    EXPECT_EQ(folder.read("user.reg"), before);
}

// A write that cannot complete (here the disk fills up half-way) leaves the old file whole.
TEST_F(RegistryStoreTest, AFailedWriteReportsAndLeavesTheOldFileAndEveryKeyIntact) {
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(300)));
    ASSERT_FALSE(store.setValue(kUser, std::string(kControl) + "1234", "MRL1",
                                RegistryValue::string("/a.setup")));
    const std::string before = folder.read("user.reg");

    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = before.size() + 16;
    ::setrlimit(RLIMIT_FSIZE, &small);
    RegistryWriteError err =
        store.setValue(kUser, kControl, "1234", RegistryValue::string(std::string(4096, 'x')));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    ASSERT_TRUE(err);
    EXPECT_NE(err->find(folder.file("user.reg")), std::string::npos) << *err;
    EXPECT_EQ(folder.read("user.reg"), before);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"user.reg"})
        << "the temporary file is removed";
    EXPECT_EQ(store.value(kUser, std::string(kControl) + "1234", "MRL1"), text("/a.setup"));

    ASSERT_FALSE(
        store.setValue(kUser, kControl, "1234", RegistryValue::string(std::string(4096, 'x'))));
    EXPECT_EQ(store.value(kUser, kControl, "Left"), dword(300));
}

TEST_F(RegistryStoreTest, AReadOnlyFolderRefusesTheWriteAndKeepsTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "runs as root, for whom folder permissions do not refuse writes; "
                        "the full-disk test covers the failed write";
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(300)));
    const std::string before = folder.read("user.reg");
    std::filesystem::permissions(
        folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    RegistryWriteError err = store.setValue(kUser, kControl, "Left", RegistryValue::number(1));
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all);
    EXPECT_TRUE(err);
    EXPECT_EQ(folder.read("user.reg"), before);
}

TEST_F(RegistryStoreTest, AnUnreadableFileGivesDefaultsAndIsNeverReplaced) {
    std::filesystem::create_directory(folder.file("user.reg"));
    EXPECT_FALSE(store.value(kUser, kControl, "Left"));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("cannot be read"), std::string::npos) << warnings[0];
    EXPECT_TRUE(store.setValue(kUser, kControl, "Left", RegistryValue::number(1)));
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("user.reg")));
}

// Each damaged file: what can be read is read, the rest takes defaults with one warning, the
// file stays as it is until a setting is saved, and the save keeps every readable key.
TEST_F(RegistryStoreTest, DamagedFilesGiveDefaultsAWarningAndAreKeptUntilASave) {
    const std::string good =
        "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control]\n\"Left\"=dword:0000012c\n";
    const std::string later =
        "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control\\9]\n\"MRL1\"=\"/b.setup\"\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool leftReadable;
        bool mrlReadable;
    };
    std::string huge = std::string(kRegHeader) + good + ";" +
                       std::string(RegistryStore::kMaxFileBytes, 'x') + "\n";
    const Case cases[] = {
        {"garbage line", std::string(kRegHeader) + good + "this is not a value\n" + later, true,
         true},
        {"binary garbage",
         std::string(kRegHeader) + good + std::string("\x00\x01\xFF\xFE\x7F\x00", 6) + "\n" + later,
         true, true},
        {"no header", good + later, true, true},
        {"unterminated text", std::string(kRegHeader) + good + "\"Top\"=\"open\n" + later, true,
         true},
        {"bad dword", std::string(kRegHeader) + good + "\"Top\"=dword:123456789\n" + later, true,
         true},
        {"key of another hive",
         std::string(kRegHeader) + "[HKEY_LOCAL_MACHINE\\Software]\n\"Left\"=dword:00000001\n" +
             later,
         false, true},
        {"key line cut short",
         std::string(kRegHeader) + good +
             "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control\\9\n\"MRL1\"=\"/b.setup\"\n",
         true, false},
        {"larger than 1 MiB", huge, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder f;
        RegistryStore s(f.path());
        std::vector<std::string> seen;
        s.setWarningSink([&](const std::string& w) { seen.push_back(w); });
        f.write("user.reg", c.bytes);

        EXPECT_EQ(s.value(kUser, kControl, "Left"), c.leftReadable ? dword(300) : std::nullopt);
        EXPECT_EQ(s.value(kUser, std::string(kControl) + "9", "MRL1"),
                  c.mrlReadable ? text("/b.setup") : std::nullopt);
        ASSERT_EQ(seen.size(), 1u) << "one warning, not one per access";
        EXPECT_NE(seen[0].find(f.file("user.reg")), std::string::npos) << seen[0];
        EXPECT_EQ(f.read("user.reg"), c.bytes) << "reading never rewrites";

        ASSERT_FALSE(s.setValue(kUser, kControl, "Width", RegistryValue::number(7)));
        RegistryStore fresh(f.path());
        std::vector<std::string> after;
        fresh.setWarningSink([&](const std::string& w) { after.push_back(w); });
        EXPECT_EQ(fresh.value(kUser, kControl, "Width"), dword(7));
        EXPECT_EQ(fresh.value(kUser, kControl, "Left"), c.leftReadable ? dword(300) : std::nullopt);
        EXPECT_EQ(fresh.value(kUser, std::string(kControl) + "9", "MRL1"),
                  c.mrlReadable ? text("/b.setup") : std::nullopt);
        EXPECT_TRUE(after.empty()) << "the rewritten file is clean";
        EXPECT_EQ(f.read("user.reg.damaged"), c.bytes)
            << "the damaged file is kept beside the new one";
    }
}

TEST(RegistryFolder, FollowsTheConfigurationVariablesInOrder) {
    struct Case {
        const char* kestrom;
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/srv/k3", "/x", "/home/u", "/srv/k3"},
        {"", "/x", "/home/u", "/x/kestrom3"},
        {nullptr, "/x", "/home/u", "/x/kestrom3"},
        {nullptr, "relative", "/home/u", "/home/u/.config/kestrom3"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/kestrom3"},
    };
    auto saved = [](const char* n) {
        const char* v = std::getenv(n);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    auto set = [](const char* n, const char* v) { v ? ::setenv(n, v, 1) : ::unsetenv(n); };
    auto oldK = saved("KESTROM_CONFIG_DIR"), oldX = saved("XDG_CONFIG_HOME"), oldH = saved("HOME");
    for (const Case& c : cases) {
        set("KESTROM_CONFIG_DIR", c.kestrom);
        set("XDG_CONFIG_HOME", c.xdg);
        set("HOME", c.home);
        EXPECT_EQ(RegistryStore::defaultFolder(), c.expected);
    }
    set("KESTROM_CONFIG_DIR", oldK ? oldK->c_str() : nullptr);
    set("XDG_CONFIG_HOME", oldX ? oldX->c_str() : nullptr);
    set("HOME", oldH ? oldH->c_str() : nullptr);
}

TEST_F(RegistryStoreTest, TheFirstWriteCreatesTheFolderAndALinkedFileStaysALink) {
    RegistryStore nested(folder.file("a/b"));
    ASSERT_FALSE(nested.setValue(kUser, kControl, "Left", RegistryValue::number(1)));
    EXPECT_EQ(nested.value(kUser, kControl, "Left"), dword(1));

    std::filesystem::create_directory(folder.file("dotfiles"));
    std::filesystem::create_symlink(folder.file("dotfiles/user.reg"), folder.file("user.reg"));
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(2)));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("user.reg")));
    EXPECT_NE(folder.read("dotfiles/user.reg").find("dword:00000002"), std::string::npos);
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(RegistryStoreTest, SettingsAreTheUsersAloneWhateverTheUmaskOrTheOldFilesMode) {
    RegistryStore nested(folder.file("a/b"));
    mode_t old = ::umask(0);
    RegistryWriteError written = nested.setValue(kUser, kControl, "Left", RegistryValue::number(1));
    ::umask(old);
    ASSERT_FALSE(written) << *written;
    EXPECT_EQ(modeOf(folder.file("a")), 0700u);
    EXPECT_EQ(modeOf(folder.file("a/b")), 0700u);
    EXPECT_EQ(modeOf(folder.file("a/b/user.reg")), 0600u);

    // A file an older console left readable by everyone is private after the next save.
    folder.write("user.reg", std::string(kRegHeader));
    ASSERT_EQ(::chmod(folder.file("user.reg").c_str(), 0644), 0);
    ASSERT_FALSE(store.setValue(kUser, kControl, "Left", RegistryValue::number(2)));
    EXPECT_EQ(modeOf(folder.file("user.reg")), 0600u);
}

TEST(RegistryStoreOpening, RemovesTheTemporaryFilesOfAKilledWriteAndNothingElse) {
    test::TempFolder folder;
    const std::vector<std::string> stale{".user.reg.AbC123", ".user.reg.000000"};
    const std::vector<std::string> kept{".user.reg.AbC12", ".user.reg.AbC1234", ".user.reg.Ab-123",
                                        ".system.reg.AbC123", "user.reg", "user.reg.AbC123",
                                        ".other.AbC123"};
    for (const auto& name : stale) folder.write(name, "half a file");
    for (const auto& name : kept) folder.write(name, "kept");
    RegistryStore store(folder.path());
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.names(), expected);
}

}  // namespace
}  // namespace kestrom
