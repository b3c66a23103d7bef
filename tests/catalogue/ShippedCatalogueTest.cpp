#include "catalogue/CatalogLoader.hpp"
#include "install/Profile.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>

// The catalogue and sample profiles that ship, checked only where a maintainer's slip
// would break the product: every name here ends up on a package manager's command line,
// and profiles refer to apps by id.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

// Names must also be in the snapshots of the managers' public package lists, where they are
// at hand: a name missing there cannot be installed, however well it passes the name rule.
// Port names are case-sensitive.
TEST(ShippedCatalogue, IdsCategoriesNamesAndHomepagesAreUsable) {
    const Catalog shipped = CatalogLoader::loadEmbedded();
    const std::set<std::string> listed(shipped.categories.begin(), shipped.categories.end());
    EXPECT_EQ(listed.size(), shipped.categories.size()) << "a category is listed twice";
    const auto names = [](const char* file) {
        std::ifstream in(fs::path(CAIRNMOOR_SHARED_DATA_DIR) / file);
        return std::set<std::string>(std::istream_iterator<std::string>(in), {});
    };
    const auto casks = names("brew-casks.txt"), formulae = names("brew-formulae.txt");
    const auto ports = names("macports-ports.txt");
    std::set<std::string> ids, used;
    for (const AppEntry& app : shipped.apps) {
        SCOPED_TRACE(app.id);
        EXPECT_TRUE(ids.insert(app.id).second) << "duplicate id";
        EXPECT_TRUE(std::regex_match(app.id + " " + app.homepage,
                                     std::regex("[a-z0-9]+(-[a-z0-9]+)* https://\\S+")));
        used.insert(app.category);
        ASSERT_TRUE(app.macos && (app.macos->type == "cask" || app.macos->type == "formula"));
        EXPECT_EQ(PackageManager(PackageManager::homebrew).token(app), app.macos->brew);
        EXPECT_EQ(PackageManager(PackageManager::macports).token(app), app.macos->macports);
        EXPECT_TRUE(casks.empty() ||
                    (app.macos->isCask() ? casks : formulae).contains(app.macos->brew));
        EXPECT_TRUE(ports.empty() || !app.macos->macports || ports.contains(*app.macos->macports));
    }
    EXPECT_EQ(used, listed) << "a category is used but not listed, or listed but not used";
}

// The README's first command installs a sample; each must work as saved.
TEST(ShippedSampleProfiles, LoadAndSelectOnlyAppsTheirManagerCanInstall) {
    const Catalog shipped = CatalogLoader::loadEmbedded();
    for (const auto& item : fs::directory_iterator(fs::path(CAIRNMOOR_SOURCE_DIR) / "examples")) {
        if (item.path().extension() != ".cmprofile") {
            continue;
        }
        SCOPED_TRACE(item.path().filename().string());
        const Profile profile = Profile::load(item.path());
        const std::set<std::string> ids(profile.apps.begin(), profile.apps.end());
        std::vector<AppEntry> selection = shipped.apps;
        std::erase_if(selection, [&](const AppEntry& app) { return !ids.contains(app.id); });
        EXPECT_EQ(selection.size(), profile.apps.size()) << "an unknown or repeated id";
        EXPECT_NO_THROW(profile.options.packageManager.validate(selection));
    }
}

} // namespace
} // namespace cairnmoor
