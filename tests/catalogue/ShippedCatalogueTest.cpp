#include "catalogue/CatalogLoader.hpp"
#include "install/Profile.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

// The catalogue and sample profiles that ship, checked only where a maintainer's slip
// would break the product: every name here ends up on a package manager's command line,
// and profiles refer to apps by id.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

const Catalog& shipped() {
    static const Catalog catalog = CatalogLoader::loadEmbedded();
    return catalog;
}

TEST(ShippedCatalogue, IdsCategoriesNamesAndHomepagesAreUsable) {
    const std::set<std::string> listed(shipped().categories.begin(), shipped().categories.end());
    EXPECT_EQ(listed.size(), shipped().categories.size()) << "a category is listed twice";
    std::set<std::string> ids;
    std::set<std::string> used;
    for (const AppEntry& app : shipped().apps) {
        SCOPED_TRACE(app.id);
        EXPECT_TRUE(ids.insert(app.id).second) << "duplicate id";
        EXPECT_TRUE(std::regex_match(app.id, std::regex("[a-z0-9]+(-[a-z0-9]+)*")));
        EXPECT_TRUE(listed.contains(app.category));
        used.insert(app.category);
        EXPECT_TRUE(std::regex_match(app.homepage, std::regex("https://\\S+")));
        ASSERT_TRUE(app.macos);
        EXPECT_TRUE(app.macos->type == "cask" || app.macos->type == "formula");
        EXPECT_EQ(PackageManager(PackageManager::homebrew).token(app), app.macos->brew);
        EXPECT_EQ(PackageManager(PackageManager::macports).token(app), app.macos->macports);
    }
    EXPECT_EQ(used, listed) << "a listed category has no entries";
}

// Snapshots of the managers' public package lists: a name missing there cannot be
// installed, however well it passes the name rule. Port names are case-sensitive.
TEST(ShippedCatalogue, NamesExistInThePackageManagersSnapshots) {
    const fs::path data = CAIRNMOOR_SHARED_DATA_DIR;
    if (!fs::is_directory(data)) {
        GTEST_SKIP() << "package lists not available at " << data;
    }
    const auto names = [&](const char* file) {
        std::ifstream in(data / file);
        return std::set<std::string>(std::istream_iterator<std::string>(in), {});
    };
    const auto casks = names("brew-casks.txt"), formulae = names("brew-formulae.txt");
    const auto ports = names("macports-ports.txt");
    for (const AppEntry& app : shipped().apps) {
        EXPECT_TRUE((app.macos->isCask() ? casks : formulae).contains(app.macos->brew)) << app.id;
        EXPECT_TRUE(!app.macos->macports || ports.contains(*app.macos->macports)) << app.id;
    }
}

// The README's first command installs a sample; each must work as saved.
TEST(ShippedSampleProfiles, LoadAndSelectOnlyAppsTheirManagerCanInstall) {
    std::map<std::string, AppEntry> byId;
    for (const AppEntry& app : shipped().apps) {
        byId.emplace(app.id, app);
    }
    int samples = 0;
    for (const auto& item : fs::directory_iterator(fs::path(CAIRNMOOR_SOURCE_DIR) / "examples")) {
        if (item.path().extension() != ".cmprofile") {
            continue;
        }
        SCOPED_TRACE(item.path().filename().string());
        const Profile profile = Profile::load(item.path());
        std::vector<AppEntry> selection;
        for (const std::string& id : profile.apps) {
            ASSERT_TRUE(byId.contains(id)) << "unknown id " << id;
            selection.push_back(byId[id]);
        }
        EXPECT_NO_THROW(profile.options.packageManager.validate(selection));
        ++samples;
    }
    EXPECT_GE(samples, 3);
}

} // namespace
} // namespace cairnmoor
