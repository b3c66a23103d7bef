#include "install/InstallLog.hpp"

#include "platform/FileError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

// --- Where the file goes and what it is called ------------------------------------------

struct NameCase {
    const char* host;
    int year, month, day, hour, minute, second; // local time
    const char* library;                        // none: the home folder's Library
    const char* path;
};

// Test names show the case, not its bytes.
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.host;
}

class LogFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(LogFileName, CombinesHostAndZeroPaddedLocalTimeStamp) {
    const NameCase& c = GetParam();
    testing::StubFileManager files;
    files.home = "/home/ann";
    if (c.library) {
        files.library = {c.library};
    }
    std::tm fields{};
    fields.tm_year = c.year - 1900;
    fields.tm_mon = c.month - 1;
    fields.tm_mday = c.day;
    fields.tm_hour = c.hour;
    fields.tm_min = c.minute;
    fields.tm_sec = c.second;
    fields.tm_isdst = -1;
    const auto date = std::chrono::system_clock::from_time_t(std::mktime(&fields));
    EXPECT_EQ(InstallLog::path(c.host, date, files), fs::path(c.path));
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, LogFileName,
    ::testing::Values(
        NameCase{"studio", 2026, 12, 5, 18, 39, 5, "/Users/ann/Library",
                 "/Users/ann/Library/Logs/Cairnmoor/Cairnmoor-studio-20261205-183905.log"},
        NameCase{"a/b//c", 2026, 12, 5, 18, 39, 5, "/L",
                 "/L/Logs/Cairnmoor/Cairnmoor-a-b--c-20261205-183905.log"},
        NameCase{"", 2026, 12, 5, 18, 39, 5, "/L",
                 "/L/Logs/Cairnmoor/Cairnmoor--20261205-183905.log"},
        NameCase{"Ann's Mac.local", 2027, 1, 2, 3, 4, 5, "/L",
                 "/L/Logs/Cairnmoor/Cairnmoor-Ann's Mac.local-20270102-030405.log"},
        NameCase{"h", 2026, 7, 9, 23, 59, 59, nullptr,
                 "/home/ann/Library/Logs/Cairnmoor/Cairnmoor-h-20260709-235959.log"}));

// --- Creating the folder and the file ---------------------------------------------------

TEST(LogFileCreation, PathCreatesNothingAndTheFolderComesWithItsParents) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.library = {dir / "Library"};
    const fs::path url = InstallLog::path("studio", std::chrono::system_clock::now(), files);
    EXPECT_FALSE(fs::exists(dir / "Library"));
    InstallLog::createParentDirectory(url, files);
    EXPECT_TRUE(fs::is_directory(dir / "Library/Logs/Cairnmoor"));
    EXPECT_NO_THROW(InstallLog::createParentDirectory(url, files));
    EXPECT_FALSE(fs::exists(url));

    // A file where a folder should be.
    files.library = {dir.write("file", "not a folder")};
    EXPECT_THROW(InstallLog::createParentDirectory(
                     InstallLog::path("studio", std::chrono::system_clock::now(), files), files),
                 FileError);
}

TEST(LogFileCreation, AnEarlierRunsFileIsNeverReplaced) {
    testing::TempDir dir;
    const fs::path url = dir / "Cairnmoor-studio-20261205-183905.log";
    EXPECT_EQ(InstallLog::createFile(url), url);
    ASSERT_TRUE(InstallLog::appendLine(url, "$ brew install --cask alpha"));

    const fs::path second = InstallLog::createFile(url);
    const fs::path third = InstallLog::createFile(url);
    EXPECT_EQ(second, dir / "Cairnmoor-studio-20261205-183905-2.log");
    EXPECT_EQ(third, dir / "Cairnmoor-studio-20261205-183905-3.log");
    EXPECT_EQ(testing::readFile(url), "$ brew install --cask alpha\n");
    EXPECT_EQ(fs::file_size(second), 0u);
    EXPECT_EQ(fs::file_size(third), 0u);

    EXPECT_THROW(InstallLog::createFile(dir / "missing/run.log"), FileError);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

// --- Writing lines ----------------------------------------------------------------------

TEST(LogLines, AreWrittenExactlyAsReceivedEachWithOneLineFeed) {
    testing::TempDir dir;
    const fs::path url = InstallLog::createFile(dir / "run.log");
    for (const char* line : {"$ brew update", "Already up-to-date.\r", "", "caf\u00e9 \u2714",
                             "Homebrew update failed; no packages were installed."}) {
        EXPECT_TRUE(InstallLog::appendLine(url, line));
    }
    EXPECT_EQ(testing::readFile(url), "$ brew update\nAlready up-to-date.\r\n\ncaf\u00e9 \u2714\n"
                                      "Homebrew update failed; no packages were installed.\n");
}

TEST(LogLines, FileThatWentAwayLosesTheLineButIsNotRecreated) {
    testing::TempDir dir;
    const fs::path url = InstallLog::createFile(dir / "run.log");
    fs::remove(url);
    EXPECT_FALSE(InstallLog::appendLine(url, "lost"));
    EXPECT_FALSE(fs::exists(url));
    // Later lines are tried again with a new open.
    InstallLog::createFile(url);
    EXPECT_TRUE(InstallLog::appendLine(url, "kept"));
    EXPECT_EQ(testing::readFile(url), "kept\n");
}

TEST(LogLines, LinesFromTwoThreadsNeverInterleave) {
    // The engine's thread and the runner's reader may both write to the same file.
    testing::TempDir dir;
    const fs::path url = InstallLog::createFile(dir / "run.log");
    const std::string a(3000, 'a');
    const std::string b(3000, 'b');
    std::thread first([&] {
        for (int i = 0; i < 200; ++i) {
            InstallLog::appendLine(url, a);
        }
    });
    for (int i = 0; i < 200; ++i) {
        InstallLog::appendLine(url, b);
    }
    first.join();
    std::size_t as = 0;
    std::size_t bs = 0;
    const std::string text = testing::readFile(url);
    ASSERT_EQ(text.back(), '\n');
    std::istringstream contents(text);
    for (std::string line; std::getline(contents, line);) {
        ASSERT_TRUE(line == a || line == b) << "mixed line: " << line.substr(0, 40);
        as += line == a;
        bs += line == b;
    }
    EXPECT_EQ(as, 200u);
    EXPECT_EQ(bs, 200u);
}

} // namespace
} // namespace cairnmoor
