// What the user keeps when the file system fails underneath: earlier files stay whole,
// no temporary files are left behind, and unusable replacements fall back quietly.
#include "catalogue/CatalogLoader.hpp"
#include "install/InstallLog.hpp"
#include "install/Profile.hpp"
#include "platform/FileError.hpp"
#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Runs `body` in a child process so limits and identities it takes on stay there.
// The child's exit status is 0 when `body` returned true.
bool inChild(const std::function<bool()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        bool passed = false;
        try {
            passed = body();
        } catch (...) {
            passed = false;
        }
        ::_exit(passed ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Root may write anywhere; an unprivileged identity makes permissions mean something.
void becomeUnprivileged() {
    if (::geteuid() == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
    }
}

std::vector<fs::path> leftovers(const fs::path& folder, const fs::path& keep) {
    std::vector<fs::path> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path() != keep) {
            others.push_back(entry.path());
        }
    }
    return others;
}

Profile sampleProfile(std::size_t apps) {
    Profile profile;
    profile.created = "2026-12-06T10:00:00Z";
    for (std::size_t i = 0; i < apps; ++i) {
        profile.apps.push_back("app-" + std::to_string(i));
    }
    return profile;
}

class AtomicWriteFault : public ::testing::Test {
protected:
    TempDir dir;
    fs::path target = dir / "team.cmprofile";
    std::string earlier;

    void SetUp() override {
        sampleProfile(2).write(target);
        earlier = testing::readFile(target);
        ::chmod(dir.path().c_str(), 0777); // let the unprivileged child reach it
    }

    void expectEarlierIntact() {
        EXPECT_EQ(testing::readFile(target), earlier);
        EXPECT_TRUE(leftovers(dir.path(), target).empty()) << "a temporary file was left behind";
    }
};

TEST_F(AtomicWriteFault, FullDiskLeavesTheEarlierProfileWhole) {
    // A file-size limit makes write(2) fail part-way, as a full disk does.
    EXPECT_TRUE(inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16 * 1024, 16 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            sampleProfile(20000).write(target);
        } catch (const FileError& error) {
            return std::string(error.what()).find(target.string()) != std::string::npos;
        }
        return false;
    }));
    expectEarlierIntact();
}

TEST_F(AtomicWriteFault, UnwritableFolderLeavesTheEarlierProfileWhole) {
    ::chmod(dir.path().c_str(), 0755);
    ::chown(target.c_str(), 0, 0);
    EXPECT_TRUE(inChild([&] {
        becomeUnprivileged();
        if (::geteuid() == 0) {
            return false;
        }
        ::chmod(dir.path().c_str(), 0555); // effective only when the folder is ours
        try {
            sampleProfile(3).write(target);
        } catch (const FileError&) {
            return true;
        }
        return false;
    }));
    ::chmod(dir.path().c_str(), 0755);
    expectEarlierIntact();
}

TEST(LogFolderFault, UnusableLogFolderFailsQuietlyAndLosesNothingElse) {
    TempDir home;
    // "Library" is a file, so no folder can be made beneath it, whoever we are.
    home.write("Library", "not a folder");
    testing::StubFileManager files;
    files.home = home.path();
    const fs::path url = InstallLog::path("studio", std::chrono::system_clock::now(), files);
    EXPECT_THROW(InstallLog::createParentDirectory(url, files), FileError);
    EXPECT_THROW(InstallLog::createFile(url), FileError);
    EXPECT_FALSE(InstallLog::appendLine(url, "$ brew install --cask alpha"));
    EXPECT_EQ(testing::readFile(home / "Library"), "not a folder");
}

class UnusableReplacement : public ::testing::Test {
protected:
    TempDir home;
    testing::StubFileManager files;
    fs::path replacement;

    void SetUp() override {
        files.home = home.path();
        replacement = CatalogLoader::externalOverrideURL(files);
        fs::create_directories(replacement.parent_path());
    }

    void expectShippedCatalogue() {
        const Catalog loaded = CatalogLoader::load(files);
        EXPECT_EQ(loaded, CatalogLoader::loadEmbedded());
    }
};

TEST_F(UnusableReplacement, DirectoryFallsBackToTheShippedCatalogue) {
    fs::create_directory(replacement);
    expectShippedCatalogue();
}

TEST_F(UnusableReplacement, FifoFallsBackWithoutBlocking) {
    ASSERT_EQ(::mkfifo(replacement.c_str(), 0644), 0);
    expectShippedCatalogue();
}

TEST_F(UnusableReplacement, UnopenableFileFallsBack) {
    // A socket exists but cannot be opened for reading, even by root.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = replacement.string();
    if (path.size() >= sizeof address.sun_path) {
        GTEST_SKIP() << "temporary path too long for a socket";
    }
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    expectShippedCatalogue();
    ::close(fd);
}

TEST_F(UnusableReplacement, UnreadableFileFallsBackForAnOrdinaryUser) {
    Catalog own;
    own.updated = "own";
    home.write("Library/Application Support/Cairnmoor/catalog.json", CatalogLoader::encode(own));
    ASSERT_TRUE(CatalogLoader::loadExternalOverride(files).has_value())
        << "the file itself is valid";
    ::chmod(replacement.c_str(), 0000);
    ::chmod(home.path().c_str(), 0755);
    for (fs::path p = replacement.parent_path(); p != home.path(); p = p.parent_path()) {
        ::chmod(p.c_str(), 0755);
    }
    EXPECT_TRUE(inChild([&] {
        becomeUnprivileged();
        if (::geteuid() == 0) {
            return false;
        }
        return !CatalogLoader::loadExternalOverride(files).has_value();
    }));
}

} // namespace
} // namespace cairnmoor
