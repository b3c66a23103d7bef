#include "catalogue/CatalogLoader.hpp"
#include "install/Profile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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
const Catalog& shipped() {
    static const Catalog catalog = CatalogLoader::loadEmbedded();
    return catalog;
}

// Names must also be in the snapshots of the managers' public package lists, where they are
// at hand: a name missing there cannot be installed, however well it passes the name rule.
// Port names are case-sensitive.
TEST(ShippedCatalogue, IdsCategoriesNamesAndHomepagesAreUsable) {
    const std::set<std::string> listed(shipped().categories.begin(), shipped().categories.end());
    EXPECT_EQ(listed.size(), shipped().categories.size()) << "a category is listed twice";
    const auto names = [](const char* file) {
        std::ifstream in(fs::path(CAIRNMOOR_SHARED_DATA_DIR) / file);
        return std::set<std::string>(std::istream_iterator<std::string>(in), {});
    };
    const auto casks = names("brew-casks.txt"), formulae = names("brew-formulae.txt");
    const auto ports = names("macports-ports.txt");
    std::set<std::string> ids, used;
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
        EXPECT_TRUE(casks.empty() ||
                    (app.macos->isCask() ? casks : formulae).contains(app.macos->brew));
        EXPECT_TRUE(ports.empty() || !app.macos->macports || ports.contains(*app.macos->macports));
    }
    EXPECT_EQ(used, listed) << "a listed category has no entries";
}

// The README's first command installs a sample; each must work as saved.
TEST(ShippedSampleProfiles, LoadAndSelectOnlyAppsTheirManagerCanInstall) {
    for (const auto& item : fs::directory_iterator(fs::path(CAIRNMOOR_SOURCE_DIR) / "examples")) {
        if (item.path().extension() != ".cmprofile") {
            continue;
        }
        SCOPED_TRACE(item.path().filename().string());
        const Profile profile = Profile::load(item.path());
        std::vector<AppEntry> selection;
        for (const std::string& id : profile.apps) {
            const auto found = std::find_if(shipped().apps.begin(), shipped().apps.end(),
                                            [&](const AppEntry& app) { return app.id == id; });
            ASSERT_NE(found, shipped().apps.end()) << "unknown id " << id;
            selection.push_back(*found);
        }
        EXPECT_NO_THROW(profile.options.packageManager.validate(selection));
    }
}

} // namespace
} // namespace cairnmoor
