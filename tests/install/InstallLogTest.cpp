#include "install/InstallLog.hpp"

#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <thread>

// An unusable log folder is in tests/faults.
namespace cairnmoor {
namespace {

// <Library>/Logs/Cairnmoor/Cairnmoor-<host, "/" as "-">-<local time>.log, under the home's
// Library when the platform reports none; nothing is created until asked. An earlier run's
// file is never replaced. Lines are appended as received, each in one write, so the
// engine's thread and the runner's reader never interleave theirs; a file removed during
// the run stays removed.
TEST(InstallLog, IsNamedAfterHostAndTimeKeepsEarlierRunsAndAppendsWholeLines) {
    testing::TempDir dir;
    testing::StubFileManager files;
    files.home = dir / "home";
    std::tm fields{};
    ::strptime("2027-01-02 03:04:05", "%Y-%m-%d %H:%M:%S", &fields);
    fields.tm_isdst = -1; // local time, whatever the season
    const auto date = std::chrono::system_clock::from_time_t(std::mktime(&fields));
    const std::filesystem::path url = InstallLog::path("Ann's Mac//b", date, files);
    EXPECT_EQ(url, dir / "home/Library/Logs/Cairnmoor/Cairnmoor-Ann's Mac--b-20270102-030405.log");
    files.library = {"/L"};
    EXPECT_EQ(InstallLog::path("h", date, files).parent_path(), "/L/Logs/Cairnmoor");
    EXPECT_FALSE(std::filesystem::exists(dir / "home"));
    InstallLog::createParentDirectory(url, files);
    const std::filesystem::path run = url.parent_path() / "run.log";
    EXPECT_EQ(InstallLog::createFile(run), run);
    for (const char* line : {"$ brew update", "Already up-to-date.\r", "", "caf\u00e9 \u2714"}) {
        EXPECT_TRUE(InstallLog::appendLine(run, line));
    }
    EXPECT_EQ(InstallLog::createFile(run), url.parent_path() / "run-2.log");
    EXPECT_EQ(InstallLog::createFile(run), url.parent_path() / "run-3.log");
    EXPECT_EQ(testing::readFile(run), "$ brew update\nAlready up-to-date.\r\n\ncaf\u00e9 \u2714\n");
    const auto append = [&](char c) {
        for (int i = 0; i < 200; ++i) {
            InstallLog::appendLine(url.parent_path() / "run-2.log", std::string(3000, c));
        }
    };
    std::thread other(append, 'a');
    append('b');
    other.join();
    const std::string lines = testing::readFile(url.parent_path() / "run-2.log");
    EXPECT_EQ(lines.size(), 400u * 3001);
    EXPECT_TRUE(lines.find("ab") == lines.npos && lines.find("ba") == lines.npos);
    std::filesystem::remove(run);
    EXPECT_FALSE(InstallLog::appendLine(run, "lost") || std::filesystem::exists(run));
}

} // namespace
} // namespace cairnmoor
