#include "platform/FileManager.hpp"

#include "platform/FileError.hpp"
#include "platform/ProcessInfo.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

// The real POSIX file system. What the user keeps when a write fails part-way (a full disk,
// an unwritable folder) is in tests/faults.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
const FileManager& files = FileManager::defaultManager();

// The file is replaced as a whole, keeps its mode (a script stays executable), and nothing
// else is left in the folder, also when the replacement fails. Reading takes regular files
// exactly and refuses anything else without blocking on it.
TEST(FileManager, WritesAtomicallyAndReadsOnlyRegularFiles) {
    testing::TempDir dir;
    const fs::path target = dir.write("install.sh", "#!/bin/bash\nearlier, rather longer\n");
    fs::permissions(target, fs::perms(0700));
    files.writeAtomically(target, "new\n");
    EXPECT_EQ(testing::readFile(target), "new\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0700));
    fs::create_directory(dir / "taken"); // a folder cannot be replaced by a file
    EXPECT_THROW(files.writeAtomically(dir / "taken", "data"), FileError);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
    const std::string bytes = std::string("a\0b\xff\n", 5) + std::string(200000, 'z');
    const fs::path blob = dir.write("blob", bytes);
    EXPECT_EQ(files.contentsOfFile(blob, bytes.size()), bytes); // exactly the limit
    EXPECT_THROW(files.contentsOfFile(blob, bytes.size() - 1), FileError);
#ifdef __linux__ // a size of 0 that is not the truth: the bytes read are held to the limit
    EXPECT_THROW(files.contentsOfFile("/proc/self/status", 16), FileError);
#endif
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0); // would block an ordinary read
    for (const char* name : {"missing", "taken", "fifo"}) {
        EXPECT_THROW(files.contentsOfFile(dir / name), FileError) << name;
    }
}

TEST(FileManager, DescribesItemsThemselvesAndResolvesLinks) {
    testing::TempDir dir;
    const fs::path real = fs::canonical(dir.path());
    const fs::path tool = dir.write("a/tool", "#!/bin/sh\n");
    fs::permissions(tool, fs::perms(04751)); // the setuid bit survives the mask
    fs::create_directory_symlink(real / "a", real / "alias");
    EXPECT_EQ(files.attributesOfItem(tool),
              (FileAttributes{::getuid(), 04751u, FileType::regular}));
    EXPECT_EQ(files.attributesOfItem(dir / "alias").type, FileType::symbolicLink);
    EXPECT_THROW(files.attributesOfItem(dir / "missing"), FileError);
    EXPECT_EQ(files.resolvingSymlinks(real / "alias/tool"), real / "a/tool");
    EXPECT_EQ(files.resolvingSymlinks(real / "missing"), real / "missing");
    EXPECT_TRUE(files.isExecutableFile(real / "alias/tool"));
    EXPECT_FALSE(files.isExecutableFile(dir.write("p", "")) || files.isExecutableFile(real / "a"));
}

// The home is $HOME when set, else the password database's; a variable ends at the first "=".
TEST(ProcessEnvironment, TheHomeAndVariablesComeFromTheRunningProcess) {
    const std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/some=where", 1);
    EXPECT_EQ(files.homeDirectory(), "/some=where");
    EXPECT_EQ(ProcessInfo::environment().at("HOME"), "/some=where");
    ::setenv("HOME", "", 1);
    EXPECT_TRUE(files.homeDirectory().is_absolute());
    ::setenv("HOME", saved.c_str(), 1);
    EXPECT_FALSE(ProcessInfo::hostName().empty());
}

} // namespace
} // namespace cairnmoor
