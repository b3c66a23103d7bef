#include "platform/FileManager.hpp"

#include "platform/FileError.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;

std::vector<std::string> folderListing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Sets an environment variable for the life of one test and restores it afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// ---- Atomic replacement --------------------------------------------------------------

class AtomicWrite : public ::testing::Test {
protected:
    TempDir dir;
    const FileManager& files = FileManager::defaultManager();
};

TEST_F(AtomicWrite, CreatesAndReplacesWholeFileLeavingNothingElseBehind) {
    const fs::path target = dir / "team.cmprofile";
    files.writeAtomically(target, "first version, rather long\n");
    files.writeAtomically(target, "second\n");
    EXPECT_EQ(readFile(target), "second\n");
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"team.cmprofile"});
}

TEST_F(AtomicWrite, KeepsThePermissionsOfTheFileItReplaces) {
    const fs::path target = dir.write("install.sh", "#!/bin/bash\n");
    fs::permissions(target, fs::perms(0700));
    files.writeAtomically(target, "#!/bin/bash\necho new\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::mask, fs::perms(0700));
}

TEST_F(AtomicWrite, FailedRenameLeavesTheTargetAndNoTemporaryFile) {
    // A folder standing where the file should go cannot be replaced by a file.
    const fs::path target = dir / "occupied";
    fs::create_directory(target);
    dir.write("occupied/keep.txt", "kept");
    EXPECT_THROW(files.writeAtomically(target, "data"), FileError);
    EXPECT_EQ(readFile(target / "keep.txt"), "kept");
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"occupied"});
}

TEST_F(AtomicWrite, MissingFolderFailsWithAMessageNamingTheFile) {
    const fs::path target = dir / "no-such-folder" / "x.cmprofile";
    try {
        files.writeAtomically(target, "data");
        FAIL() << "expected FileError";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(target.string()), std::string::npos);
        EXPECT_EQ(error.errorNumber(), ENOENT);
    }
}

TEST_F(AtomicWrite, FailureWhileWritingLeavesTheEarlierFileIntact) {
    // The disk "fills up" half way: a file-size limit makes write(2) fail with EFBIG.
    // Runs in a child so the limit does not leak into the rest of the tests.
    const fs::path target = dir.write("team.cmprofile", "earlier contents\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            files.writeAtomically(target, std::string(64 * 1024, 'x'));
            ::_exit(2);
        } catch (const FileError&) {
            ::_exit(0);
        } catch (...) {
            ::_exit(3);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: the write did not fail; 3: wrong error type";
    EXPECT_EQ(readFile(target), "earlier contents\n");
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"team.cmprofile"});
}

// ---- Reading files -------------------------------------------------------------------

class ReadingFiles : public ::testing::Test {
protected:
    TempDir dir;
    const FileManager& files = FileManager::defaultManager();
};

TEST_F(ReadingFiles, ReadsBinaryContentsExactly) {
    std::string bytes("a\0b\xff\n", 5);
    bytes += std::string(200000, 'z'); // larger than one read buffer
    EXPECT_EQ(files.contentsOfFile(dir.write("blob", bytes)), bytes);
    EXPECT_EQ(files.contentsOfFile(dir.write("empty", "")), "");
}

TEST_F(ReadingFiles, RefusesThingsThatAreNotDocumentsWithoutBlocking) {
    EXPECT_THROW(files.contentsOfFile(dir / "missing"), FileError);
    EXPECT_THROW(files.contentsOfFile(dir.path()), FileError);
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO with no writer would block an ordinary read forever.
    EXPECT_THROW(files.contentsOfFile(fifo), FileError);
}

// ---- Querying items ------------------------------------------------------------------

class ItemQueries : public ::testing::Test {
protected:
    TempDir dir;
    const FileManager& files = FileManager::defaultManager();
};

TEST_F(ItemQueries, OnlyRegularFilesWithExecutePermissionAreExecutable) {
    const fs::path tool = dir.write("tool", "#!/bin/sh\n");
    fs::permissions(tool, fs::perms(0755));
    const fs::path plain = dir.write("plain", "text");
    fs::permissions(plain, fs::perms(0644));
    const fs::path folder = dir / "brew";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(0755));
    const fs::path link = dir / "link-to-tool";
    fs::create_symlink(tool, link);

    EXPECT_TRUE(files.isExecutableFile(tool));
    EXPECT_TRUE(files.isExecutableFile(link)); // links are followed
    EXPECT_FALSE(files.isExecutableFile(plain));
    EXPECT_FALSE(files.isExecutableFile(folder));
    EXPECT_FALSE(files.isExecutableFile(dir / "missing"));
}

TEST_F(ItemQueries, AttributesDescribeTheItemItselfNotALinkTarget) {
    const fs::path file = dir.write("file", "x");
    fs::permissions(file, fs::perms(04751)); // setuid bit must survive the mask
    const fs::path link = dir / "link";
    fs::create_symlink(file, link);

    const FileAttributes fileAttributes = files.attributesOfItem(file);
    EXPECT_EQ(fileAttributes.type, FileType::regular);
    EXPECT_EQ(fileAttributes.posixPermissions, 04751u);
    EXPECT_EQ(fileAttributes.ownerAccountID, static_cast<std::uint32_t>(::getuid()));
    EXPECT_EQ(files.attributesOfItem(link).type, FileType::symbolicLink);
    EXPECT_EQ(files.attributesOfItem(dir.path()).type, FileType::directory);
    EXPECT_THROW(files.attributesOfItem(dir / "missing"), FileError);
}

TEST_F(ItemQueries, ResolvingSymlinksFollowsEveryLinkOnTheWay) {
    const fs::path real = fs::canonical(dir.path());
    fs::create_directories(real / "a" / "b");
    fs::create_directory_symlink(real / "a", real / "alias");
    EXPECT_EQ(files.resolvingSymlinks(real / "alias" / "b"), real / "a" / "b");
    EXPECT_EQ(files.resolvingSymlinks(real / "a" / "b"), real / "a" / "b");
    // Nothing to resolve: the path comes back as given.
    EXPECT_EQ(files.resolvingSymlinks(real / "missing"), real / "missing");
}

TEST_F(ItemQueries, CreateDirectoryHonoursTheIntermediateFlagAndRefusesFiles) {
    EXPECT_THROW(files.createDirectory(dir / "x" / "y", false), FileError);
    files.createDirectory(dir / "x" / "y", true);
    files.createDirectory(dir / "x" / "y", true); // existing is fine
    EXPECT_TRUE(fs::is_directory(dir / "x" / "y"));
    const fs::path file = dir.write("file", "x");
    EXPECT_THROW(files.createDirectory(file, true), FileError);
}

// ---- Home and standard folders -------------------------------------------------------

TEST(HomeDirectory, UsesHomeWhenSetAndThePasswordDatabaseOtherwise) {
    {
        ScopedEnvironment home("HOME", "/somewhere/else");
        EXPECT_EQ(FileManager::defaultManager().homeDirectory(), fs::path("/somewhere/else"));
    }
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        ScopedEnvironment home("HOME", value);
        const fs::path fallback = FileManager::defaultManager().homeDirectory();
        EXPECT_FALSE(fallback.empty());
        EXPECT_TRUE(fallback.is_absolute()) << fallback;
    }
}

TEST(HomeDirectory, StandardFoldersSitUnderTheHomeWhereThePlatformHasThem) {
    ScopedEnvironment home("HOME", "/Users/ann");
    const FileManager& files = FileManager::defaultManager();
#if defined(__APPLE__)
    EXPECT_EQ(files.libraryDirectories(), std::vector<fs::path>{"/Users/ann/Library"});
    EXPECT_EQ(files.applicationSupportDirectories(),
              std::vector<fs::path>{"/Users/ann/Library/Application Support"});
#else
    EXPECT_TRUE(files.libraryDirectories().empty());
    EXPECT_TRUE(files.applicationSupportDirectories().empty());
#endif
}

} // namespace
} // namespace cairnmoor
