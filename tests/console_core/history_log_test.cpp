// The history log file: who may read it, what it is appended to, and names it must not wait on.
#include "console/core/history_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestrom {
namespace {

namespace fs = std::filesystem;

struct LogFolder {
    LogFolder() {
        std::string pattern = (fs::temp_directory_path() / "kestrom-history-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~LogFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(HistoryLogFile, ANewLogAndItsFoldersAreTheUsersAloneWhateverTheUmask) {
    LogFolder folder;
    fs::path path = folder.path / "state" / "kestrom3" / "history.log";
    mode_t old = ::umask(0);
    HistoryLog log;
    bool opened = log.open(path.string());
    ::umask(old);
    ASSERT_TRUE(opened) << log.error();
    EXPECT_EQ(modeOf(folder.path / "state"), 0700u);
    EXPECT_EQ(modeOf(folder.path / "state" / "kestrom3"), 0700u);
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST(HistoryLogFile, AnOrderlyEndWritesItsLineAfterTheLastEvent) {
    LogFolder folder;
    fs::path path = folder.path / "history.log";
    {
        HistoryLog log;
        ASSERT_TRUE(log.open(path.string())) << log.error();
        log.write("1 Camera closed: 1234");
    }
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("---- console started ----"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("1 Camera closed: 1234"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("---- console ended ----"), std::string::npos) << lines[2];
}

TEST(HistoryLogFile, AnOldLogIsAppendedToAndMadePrivate) {
    LogFolder folder;
    fs::path path = folder.path / "history.log";
    std::ofstream(path) << "earlier line\n";
    fs::permissions(path, fs::perms(0644));
    {
        HistoryLog log;
        ASSERT_TRUE(log.open(path.string())) << log.error();
        log.write("camera 1234 opened");
    }
    EXPECT_EQ(modeOf(path), 0600u);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().rfind("earlier line\n", 0), 0u) << text.str();
    EXPECT_NE(text.str().find("\tcamera 1234 opened\n"), std::string::npos) << text.str();
}

TEST(HistoryLogFile, AFifoOrAFolderIsRefusedAtOnce) {
    LogFolder folder;
    ASSERT_EQ(::mkfifo((folder.path / "fifo.log").c_str(), 0600), 0);
    fs::create_directory(folder.path / "folder.log");
    auto start = std::chrono::steady_clock::now();
    for (const char* name : {"fifo.log", "folder.log"}) {
        SCOPED_TRACE(name);
        HistoryLog log;
        EXPECT_FALSE(log.open((folder.path / name).string()));
        EXPECT_NE(log.error().find(name), std::string::npos) << log.error();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

std::vector<std::string> linesOf(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find('\t') + 1));
    return lines;
}

TEST(HistoryLogFile, AFullLogIsTurnedOverAndTheNewestLinesStayInOrderWithoutAGap) {
    LogFolder folder;
    fs::path path = folder.path / "history.log";
    {
        HistoryLog log(1000, 2);
        ASSERT_TRUE(log.open(path.string())) << log.error();
        for (int i = 0; i < 200; ++i) log.write("line " + std::to_string(i));
    }
    EXPECT_FALSE(fs::exists(folder.path / "history.log.3")) << "only two old files are kept";
    std::vector<std::string> kept;
    for (const char* name : {"history.log.2", "history.log.1", "history.log"}) {
        SCOPED_TRACE(name);
        EXPECT_LT(fs::file_size(folder.path / name), 1100u);
        EXPECT_EQ(modeOf(folder.path / name), 0600u);
        for (const auto& line : linesOf(folder.path / name))
            if (line.rfind("line ", 0) == 0) kept.push_back(line);
    }
    ASSERT_GT(kept.size(), 20u);
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(kept[i], "line " + std::to_string(200 - kept.size() + i)) << "lost or reordered at " << i;
    EXPECT_EQ(linesOf(path).front(), "---- continued from " + path.string() + ".1 ----");
}

}  // namespace
}  // namespace kestrom
