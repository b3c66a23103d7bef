// What the user keeps when the file system fails underneath: earlier files stay whole, no
// temporary files are left behind, and unusable replacements fall back quietly.
#include "catalogue/CatalogLoader.hpp"
#include "install/InstallLog.hpp"
#include "install/Profile.hpp"
#include "platform/FileError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

// A file-size limit makes write(2) fail part-way, as a full disk does. The limit is taken
// on in a child process (a death test's) so that it stays there; the error names the file.
TEST(FullDisk, LeavesTheEarlierProfileWholeAndNoTemporaryFile) {
    testing::TempDir dir;
    const fs::path target = dir.write("team.cmprofile", "earlier\n");
    const Profile profile{2, "", std::vector<std::string>(30000, "a-long-app-identifier"), {}, {}};
    const auto writeToAFullDisk = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16 * 1024, 16 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_THAT([&] { profile.write(target); },
                    ::testing::ThrowsMessage<FileError>(::testing::HasSubstr(target.string())));
        // A death test's child reports no failures of its own: status 1 stands for them.
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    };
    EXPECT_EXIT(writeToAFullDisk(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(testing::readFile(target), "earlier\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

// The log's folder cannot be made (a file stands where a folder should), and a replacement
// catalogue cannot be read as a file.
TEST(UnusableFiles, FailQuietlyAndLoseNothingElse) {
    testing::TempDir home;
    home.write("Library", "not a folder");
    testing::StubFileManager files;
    files.home = home.path();
    const fs::path url = InstallLog::path("studio", std::chrono::system_clock::now(), files);
    EXPECT_THROW(InstallLog::createParentDirectory(url, files), FileError);
    EXPECT_THROW(InstallLog::createFile(url), FileError);
    EXPECT_FALSE(InstallLog::appendLine(url, "$ brew install --cask alpha"));
    EXPECT_EQ(testing::readFile(home / "Library"), "not a folder");
    files.applicationSupport = {home / "support"};
    fs::create_directories(CatalogLoader::externalOverrideURL(files)); // a folder
    EXPECT_EQ(CatalogLoader::load(files), CatalogLoader::loadEmbedded());
}

} // namespace
} // namespace cairnmoor
