#include "managers/PackageManagerLocator.hpp"

#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::StubFileManager;
using testing::TempDir;
using Paths = std::vector<std::string>;
using Environment = std::map<std::string, std::string>;

// ---- Known locations ----------------------------------------------------------------

TEST(KnownPaths, DependOnTheBuildArchitectureForHomebrewOnly) {
    EXPECT_EQ(PackageManagerLocator::knownPaths(PackageManager::homebrew, "arm64"),
              (Paths{"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}));
    for (const char* architecture : {"x86_64", "i386", ""}) {
        EXPECT_EQ(PackageManagerLocator::knownPaths(PackageManager::homebrew, architecture),
                  (Paths{"/usr/local/bin/brew", "/opt/homebrew/bin/brew"}));
    }
    for (const char* architecture : {"arm64", "x86_64"}) {
        EXPECT_EQ(PackageManagerLocator::knownPaths(PackageManager::macports, architecture),
                  (Paths{"/opt/local/bin/port"}));
    }
    EXPECT_EQ(BrewLocator::knownPaths(),
              PackageManagerLocator::knownPaths(PackageManager::homebrew,
                                                PackageManagerLocator::architecture()));
}

TEST(KnownPaths, ArchitectureIsTheOneThisProgramWasBuiltFor) {
#if defined(__aarch64__) || defined(__arm64__)
    EXPECT_EQ(PackageManagerLocator::architecture(), "arm64");
#else
    EXPECT_EQ(PackageManagerLocator::architecture(), "x86_64");
#endif
}

// ---- Homebrew lookup with staged executables ----------------------------------------

class HomebrewLookup : public ::testing::Test {
protected:
    HomebrewLookup() { files.onlyStaged = true; }

    std::optional<std::string> resolve(const Environment& environment) const {
        return PackageManagerLocator::resolve(PackageManager::homebrew, files, environment);
    }

    StubFileManager files;
};

TEST_F(HomebrewLookup, TheArchitecturesPreferredLocationWins) {
    files.executables = {"/opt/homebrew/bin/brew", "/usr/local/bin/brew", "/usr/bin/brew"};
    EXPECT_EQ(resolve({{"PATH", "/usr/bin"}}), BrewLocator::knownPaths().front());
    EXPECT_EQ(BrewLocator::resolve(files, {}), BrewLocator::knownPaths().front());
}

TEST_F(HomebrewLookup, TheOtherKnownLocationComesBeforeTheSearchPath) {
    files.executables = {BrewLocator::knownPaths().back(), "/usr/bin/brew"};
    EXPECT_EQ(resolve({{"PATH", "/usr/bin"}}), BrewLocator::knownPaths().back());
}

TEST_F(HomebrewLookup, SearchPathIsTriedInOrderAfterTheKnownLocations) {
    files.executables = {"/home/ann/.brew/bin/brew", "/usr/bin/brew"};
    EXPECT_EQ(resolve({{"PATH", "/usr/sbin:/home/ann/.brew/bin:/usr/bin"}}),
              "/home/ann/.brew/bin/brew");
}

TEST_F(HomebrewLookup, EmptyAndRelativePiecesOfThePathAreNeverUsed) {
    files.executables = {"relative/dir/brew", "/brew", "/usr/bin/brew"};
    // Empty pieces must not turn into "/brew"; the relative one must be skipped.
    EXPECT_EQ(resolve({{"PATH", "::relative/dir:/usr/bin:"}}), "/usr/bin/brew");
    files.executables = {"relative/dir/brew", "/brew", "./brew", "brew"};
    EXPECT_EQ(resolve({{"PATH", "::relative/dir:.:"}}), std::nullopt);
}

TEST_F(HomebrewLookup, NothingFoundWithoutAPathOrAnyExecutable) {
    files.executables = {"/usr/bin/brew"};
    EXPECT_EQ(resolve({}), std::nullopt);
    EXPECT_EQ(resolve({{"Path", "/usr/bin"}}), std::nullopt); // the name is case-sensitive
    files.executables.clear();
    EXPECT_EQ(resolve({{"PATH", "/usr/bin:/bin"}}), std::nullopt);
}

// ---- Homebrew lookup on the real file system ----------------------------------------

// The real file system, except that the fixed Homebrew locations are taken to be empty,
// so the machine running the tests cannot influence them.
class FileSystemWithoutKnownBrew : public FileManager {
public:
    bool isExecutableFile(const fs::path& path) const override {
        for (const std::string& known : BrewLocator::knownPaths()) {
            if (path == known) {
                return false;
            }
        }
        return FileManager::isExecutableFile(path);
    }
};

TEST(HomebrewOnDisk, SkipsAFolderOrAPlainFileNamedBrewAndTakesTheRealOne) {
    TempDir dir;
    fs::create_directories(dir / "folder" / "brew");
    fs::permissions(dir / "folder" / "brew", fs::perms(0755));
    fs::permissions(dir.write("plain/brew", "not executable"), fs::perms(0644));
    const fs::path real = dir.write("real/bin/brew", "#!/bin/sh\n");
    fs::permissions(real, fs::perms(0755));
    fs::create_directories(dir / "linked");
    fs::create_symlink(real, dir / "linked" / "brew");

    const FileSystemWithoutKnownBrew files;
    const std::string folder = (dir / "folder").string();
    const std::string plain = (dir / "plain").string();
    EXPECT_EQ(BrewLocator::resolve(
                  files, {{"PATH", folder + ":" + plain + ":" + (dir / "real" / "bin").string()}}),
              real.string());
    // A link to an executable file is a usable executable; it is returned as found.
    EXPECT_EQ(BrewLocator::resolve(files, {{"PATH", folder + ":" + (dir / "linked").string()}}),
              (dir / "linked" / "brew").string());
    EXPECT_EQ(BrewLocator::resolve(files, {{"PATH", folder + ":" + plain}}), std::nullopt);
}

// ---- MacPorts lookup ----------------------------------------------------------------

TEST(MacPortsLookup, NeverUsesTheSearchPathAndNeedsTheTrustCheck) {
    StubFileManager files;
    files.onlyStaged = true;
    // An executable "port" everywhere, but /opt/local/bin is writable by its group.
    files.executables = {"/opt/local/bin/port", "/usr/bin/port", "/home/ann/bin/port"};
    files.attributes = {
        {"/opt/local/bin/port", {0, 0755, FileType::regular}},
        {"/opt/local/bin", {0, 0775, FileType::directory}},
        {"/opt/local", {0, 0755, FileType::directory}},
        {"/opt", {0, 0755, FileType::directory}},
        {"/", {0, 0755, FileType::directory}},
    };
    EXPECT_EQ(PackageManagerLocator::resolve(PackageManager::macports, files,
                                             {{"PATH", "/usr/bin:/home/ann/bin"}}),
              std::nullopt);
}

} // namespace
} // namespace cairnmoor
