// Whole-file reads: only regular files, never blocking on what stands under the name.
#include "platform/regular_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kestrom {
namespace {

namespace fs = std::filesystem;
using Outcome = CappedFileRead::Outcome;

TEST(ReadFileCapped, ReadsARegularFileAndRefusesAnythingElseAtOnce) {
    std::string pattern = (fs::temp_directory_path() / "kestrom-read-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    fs::path dir = pattern;
    std::ofstream(dir / "file") << "0123456789";
    std::ofstream(dir / "large") << std::string(11, 'x');
    std::ofstream(dir / "empty");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "file", dir / "link");

    struct Case {
        fs::path path;
        Outcome outcome;
        const char* data;
        const char* reason;
    };
    const Case cases[] = {
        {dir / "file", Outcome::Read, "0123456789", ""},
        {dir / "link", Outcome::Read, "0123456789", ""},
        {dir / "empty", Outcome::Read, "", ""},
        {dir / "large", Outcome::TooLarge, "", ""},
        {dir / "missing", Outcome::Absent, "", ""},
        {dir / "fifo", Outcome::Failed, "", "not a regular file"},
        {dir / "folder", Outcome::Failed, "", "not a regular file"},
        {"/dev/zero", Outcome::Failed, "", "not a regular file"},
    };
    auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        CappedFileRead r = readFileCapped(c.path.string(), 10);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.data, c.data);
        EXPECT_EQ(r.reason, c.reason);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrom
