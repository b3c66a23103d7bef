#include "managers/PackageManagerLocator.hpp"

#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::StubFileManager;
using testing::TempDir;
using Paths = std::vector<std::string>;

TEST(KnownPaths, DependOnTheBuildArchitectureForHomebrewOnly) {
    EXPECT_EQ(PackageManagerLocator::knownPaths(PackageManager::homebrew, "arm64"),
              (Paths{"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}));
    EXPECT_EQ(PackageManagerLocator::knownPaths(PackageManager::homebrew, "x86_64"),
              (Paths{"/usr/local/bin/brew", "/opt/homebrew/bin/brew"}));
    EXPECT_EQ(PackageManagerLocator::knownPaths(PackageManager::macports, "arm64"),
              (Paths{"/opt/local/bin/port"}));
}

struct LookupCase {
    const char* name;
    Paths executables;
    std::map<std::string, std::string> environment;
    std::optional<std::string> found; // "known:0" / "known:1": the architecture's order
    friend void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }
};

class HomebrewLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(HomebrewLookup, KnownLocationsFirstThenTheSearchPath) {
    const LookupCase& c = GetParam();
    if (c.environment.contains(PackageManagerLocator::testKnownPathsVariable) &&
        !PackageManagerLocator::honoursTestKnownPaths()) {
        GTEST_SKIP() << "a release build has no test places";
    }
    const Paths known = BrewLocator::knownPaths();
    StubFileManager files;
    files.onlyStaged = true;
    for (const std::string& path : c.executables) {
        files.executables.insert(path.starts_with("known:") ? known[path.back() - '0'] : path);
    }
    std::optional<std::string> expected = c.found;
    if (expected && expected->starts_with("known:")) {
        expected = known[expected->back() - '0'];
    }
    EXPECT_EQ(PackageManagerLocator::resolve(PackageManager::homebrew, files, c.environment),
              expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, HomebrewLookup, ::testing::Values(
    LookupCase{"PreferredKnownLocation", {"known:0", "known:1", "/usr/bin/brew"}, {{"PATH", "/usr/bin"}}, "known:0"},
    LookupCase{"OtherKnownBeforeSearchPath", {"known:1", "/usr/bin/brew"}, {{"PATH", "/usr/bin"}}, "known:1"},
    LookupCase{"SearchPathInOrder", {"/home/ann/.brew/bin/brew", "/usr/bin/brew"},
               {{"PATH", "/usr/sbin:/home/ann/.brew/bin:/usr/bin"}}, "/home/ann/.brew/bin/brew"},
    // Empty pieces must not turn into "/brew"; relative ones are never used.
    LookupCase{"EmptyAndRelativePiecesSkipped", {"relative/dir/brew", "/brew", "/usr/bin/brew"},
               {{"PATH", "::relative/dir:/usr/bin:"}}, "/usr/bin/brew"},
    LookupCase{"OnlyRelativePieces", {"relative/dir/brew", "/brew", "./brew", "brew"}, {{"PATH", "::relative/dir:.:"}}, std::nullopt},
    LookupCase{"NameIsCaseSensitive", {"/usr/bin/brew"}, {{"Path", "/usr/bin"}}, std::nullopt},
    // Test builds: the places given replace the known ones, before PATH; none when empty.
    LookupCase{"TestPlacesFirst", {"known:0", "/t/brew", "/usr/bin/brew"},
               {{"PATH", "/usr/bin"}, {"CAIRNMOOR_TEST_BREW_KNOWN_PATHS", "/x/brew::/t/brew"}}, "/t/brew"},
    LookupCase{"NoTestPlaces", {"known:0", "known:1", "/usr/bin/brew"},
               {{"PATH", "/usr/bin"}, {"CAIRNMOOR_TEST_BREW_KNOWN_PATHS", ""}}, "/usr/bin/brew"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(MacPortsLookup, NeverUsesTheSearchPathAndNeedsTheTrustCheck) {
    StubFileManager files;
    files.onlyStaged = true;
    // An executable "port" everywhere, but /opt/local/bin is writable by its group.
    files.executables = {"/opt/local/bin/port", "/usr/bin/port", "/home/ann/bin/port"};
    files.attributes = {{"/opt/local/bin/port", {0, 0755, FileType::regular}},
                        {"/opt/local/bin", {0, 0775, FileType::directory}}};
    for (const char* folder : {"/opt/local", "/opt", "/"}) {
        files.attributes[folder] = {0, 0755, FileType::directory};
    }
    EXPECT_EQ(PackageManagerLocator::resolve(PackageManager::macports, files,
                                             {{"PATH", "/usr/bin:/home/ann/bin"}}),
              std::nullopt);
}

} // namespace
} // namespace cairnmoor
