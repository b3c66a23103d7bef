#include "install/InstallLog.hpp"

#include "platform/FileError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <thread>

// An unusable log folder is in tests/faults.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

// <Library>/Logs/Cairnmoor/Cairnmoor-<host, "/" as "-">-<local time>.log, under the home's
// Library when the platform reports none; nothing is created until asked.
TEST(InstallLog, NamesTheFileAfterHostAndLocalTimeAndCreatesItsFolderOnRequest) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.home = dir / "home";
    std::tm fields{};
    ::strptime("2027-01-02 03:04:05", "%Y-%m-%d %H:%M:%S", &fields);
    fields.tm_isdst = -1; // local time, whatever the season
    const auto date = std::chrono::system_clock::from_time_t(std::mktime(&fields));
    const fs::path url = InstallLog::path("Ann's Mac/a//b", date, files);
    EXPECT_EQ(url,
              dir / "home/Library/Logs/Cairnmoor/Cairnmoor-Ann's Mac-a--b-20270102-030405.log");
    files.library = {"/L"};
    EXPECT_EQ(InstallLog::path("h", date, files),
              "/L/Logs/Cairnmoor/Cairnmoor-h-20270102-030405.log");
    EXPECT_FALSE(fs::exists(dir / "home"));
    InstallLog::createParentDirectory(url, files);
    EXPECT_TRUE(fs::is_directory(url.parent_path()));
}

TEST(InstallLog, NeverReplacesAnEarlierRunsFileAndAppendsLinesAsReceived) {
    testing::TempDir dir;
    const fs::path url = dir / "run.log";
    EXPECT_EQ(InstallLog::createFile(url), url);
    for (const char* line : {"$ brew update", "Already up-to-date.\r", "", "caf\u00e9 \u2714"}) {
        EXPECT_TRUE(InstallLog::appendLine(url, line));
    }
    EXPECT_EQ(InstallLog::createFile(url), dir / "run-2.log");
    EXPECT_EQ(InstallLog::createFile(url), dir / "run-3.log");
    EXPECT_EQ(testing::readFile(url), "$ brew update\nAlready up-to-date.\r\n\ncaf\u00e9 \u2714\n");
    EXPECT_EQ(testing::readFile(dir / "run-3.log"), "");
    EXPECT_THROW(InstallLog::createFile(dir / "missing/run.log"), FileError);
    fs::remove(url); // a file removed during the run stays removed
    EXPECT_FALSE(InstallLog::appendLine(url, "lost"));
    EXPECT_FALSE(fs::exists(url));
}

// The engine's thread and the runner's reader may both write: each line is one write.
TEST(InstallLog, LinesFromTwoThreadsNeverInterleave) {
    testing::TempDir dir;
    const fs::path url = InstallLog::createFile(dir / "run.log");
    const std::string a(3000, 'a');
    const std::string b(3000, 'b');
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) {
            InstallLog::appendLine(url, a);
        }
    });
    for (int i = 0; i < 200; ++i) {
        InstallLog::appendLine(url, b);
    }
    other.join();
    std::istringstream contents(testing::readFile(url));
    std::map<std::string, int> lines;
    for (std::string line; std::getline(contents, line);) {
        ++lines[line];
    }
    EXPECT_EQ(lines, (std::map<std::string, int>{{a, 200}, {b, 200}}));
}

} // namespace
} // namespace cairnmoor
