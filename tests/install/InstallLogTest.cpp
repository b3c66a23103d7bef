#include "install/InstallLog.hpp"

#include "platform/FileError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

// 18:39:05 on 5 December 2026 in the local time zone, whatever that is.
std::chrono::system_clock::time_point localDate(int year, int month, int day, int hour, int minute,
                                                int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&fields));
}

// --- Where the file goes and what it is called ------------------------------------------

struct NameCase {
    const char* host;
    const char* fileName;
};

class LogFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(LogFileName, CombinesHostAndLocalTimeStamp) {
    testing::StubFileManager files;
    files.library = {"/Users/ann/Library"};
    const fs::path url =
        InstallLog::path(GetParam().host, localDate(2026, 12, 5, 18, 39, 5), files);
    EXPECT_EQ(url, fs::path("/Users/ann/Library/Logs/Cairnmoor") / GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, LogFileName,
    ::testing::Values(NameCase{"studio", "Cairnmoor-studio-20261205-183905.log"},
                      NameCase{"a/b//c", "Cairnmoor-a-b--c-20261205-183905.log"},
                      NameCase{"", "Cairnmoor--20261205-183905.log"},
                      NameCase{"Ann's Mac.local",
                               "Cairnmoor-Ann's Mac.local-20261205-183905.log"}));

TEST(LogFileLocation, StampIsZeroPaddedTwentyFourHour) {
    testing::StubFileManager files;
    files.library = {"/L"};
    EXPECT_EQ(InstallLog::path("h", localDate(2027, 1, 2, 3, 4, 5), files).filename(),
              "Cairnmoor-h-20270102-030405.log");
    EXPECT_EQ(InstallLog::path("h", localDate(2026, 7, 9, 23, 59, 59), files).filename(),
              "Cairnmoor-h-20260709-235959.log");
}

TEST(LogFileLocation, WithoutALibraryFolderUsesTheHomeLibrary) {
    testing::StubFileManager files;
    files.home = "/home/ann";
    const fs::path url = InstallLog::path("studio", localDate(2026, 12, 5, 18, 39, 5), files);
    EXPECT_EQ(url.parent_path(), fs::path("/home/ann/Library/Logs/Cairnmoor"));
}

TEST(LogFileLocation, ComputingThePathCreatesNothing) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.library = {dir / "Library"};
    InstallLog::path("studio", std::chrono::system_clock::now(), files);
    EXPECT_FALSE(fs::exists(dir / "Library"));
}

// --- Creating the folder and the file ---------------------------------------------------

TEST(LogFileCreation, ParentFolderIsCreatedWithItsParentsAndMayExist) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.library = {dir / "Library"};
    const fs::path url = InstallLog::path("studio", std::chrono::system_clock::now(), files);
    InstallLog::createParentDirectory(url, files);
    EXPECT_TRUE(fs::is_directory(dir / "Library/Logs/Cairnmoor"));
    EXPECT_NO_THROW(InstallLog::createParentDirectory(url, files));
    EXPECT_FALSE(fs::exists(url));
}

TEST(LogFileCreation, FolderThatCannotBeCreatedThrows) {
    testing::TempDir dir;
    dir.write("Library", "a file where the folder should be");
    testing::StubFileManager files;
    files.library = {dir / "Library"};
    const fs::path url = InstallLog::path("studio", std::chrono::system_clock::now(), files);
    EXPECT_THROW(InstallLog::createParentDirectory(url, files), FileError);
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
}

TEST(LogFileCreation, MissingFolderThrowsAndCreatesNothing) {
    testing::TempDir dir;
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
    const std::string contents = testing::readFile(url);
    std::size_t as = 0;
    std::size_t bs = 0;
    std::size_t start = 0;
    while (start < contents.size()) {
        const std::size_t end = contents.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = contents.substr(start, end - start);
        as += line == a;
        bs += line == b;
        ASSERT_TRUE(line == a || line == b) << "mixed line at offset " << start;
        start = end + 1;
    }
    EXPECT_EQ(as, 200u);
    EXPECT_EQ(bs, 200u);
}

} // namespace
} // namespace cairnmoor
