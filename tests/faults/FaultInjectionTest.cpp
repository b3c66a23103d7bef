// What the user keeps when the file system fails underneath: earlier files stay whole, no
// temporary files are left behind, and unusable replacements fall back quietly.
#include "catalogue/CatalogLoader.hpp"
#include "install/InstallLog.hpp"
#include "install/Profile.hpp"
#include "platform/FileError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

// A file-size limit makes write(2) fail part-way, as a full disk does. The limit is taken
// on in a child process so that it stays there.
TEST(FullDisk, LeavesTheEarlierProfileWholeAndNoTemporaryFile) {
    testing::TempDir dir;
    const fs::path target = dir / "team.cmprofile";
    Profile profile;
    profile.write(target);
    const std::string earlier = testing::readFile(target);
    profile.apps.assign(20000, "an-app-with-a-long-identifier");
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16 * 1024, 16 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            profile.write(target);
        } catch (const FileError& error) {
            ::_exit(std::string(error.what()).find(target.string()) == std::string::npos);
        }
        ::_exit(2);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << "1: the error does not name the file; 2: the write did not fail";
    EXPECT_EQ(testing::readFile(target), earlier);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

TEST(UnusableLogFolder, FailsQuietlyAndLosesNothingElse) {
    testing::TempDir home;
    home.write("Library", "not a folder"); // no folder can be made beneath it, by anyone
    testing::StubFileManager files;
    files.home = home.path();
    const fs::path url = InstallLog::path("studio", std::chrono::system_clock::now(), files);
    EXPECT_THROW(InstallLog::createParentDirectory(url, files), FileError);
    EXPECT_THROW(InstallLog::createFile(url), FileError);
    EXPECT_FALSE(InstallLog::appendLine(url, "$ brew install --cask alpha"));
    EXPECT_EQ(testing::readFile(home / "Library"), "not a folder");
}

// A replacement catalogue that cannot be read as a file is passed over, without blocking on
// a FIFO, and the shipped catalogue serves.
TEST(UnusableReplacement, FallsBackToTheShippedCatalogue) {
    testing::TempDir home;
    testing::StubFileManager files;
    files.home = home.path();
    const fs::path replacement = CatalogLoader::externalOverrideURL(files);
    fs::create_directories(replacement);
    EXPECT_EQ(CatalogLoader::load(files), CatalogLoader::loadEmbedded());
    fs::remove(replacement);
    ASSERT_EQ(::mkfifo(replacement.c_str(), 0644), 0);
    EXPECT_EQ(CatalogLoader::load(files), CatalogLoader::loadEmbedded());
}

} // namespace
} // namespace cairnmoor
