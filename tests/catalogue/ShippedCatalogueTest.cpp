#include "catalogue/CatalogLoader.hpp"
#include "install/Profile.hpp"
#include "managers/PackageManager.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Checks on the catalogue that ships with the app and on the sample profiles. Every
// name in the catalogue ends up on a package manager's command line, so a typo here
// is a failed install for every user who ticks that app.

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

using Problems = std::vector<std::string>;

// The catalogue as the build delivers it next to the executables.
const Catalog& shipped() {
    static const Catalog catalog = CatalogLoader::loadEmbedded();
    return catalog;
}

std::map<std::string, const AppEntry*> entriesById(const Catalog& catalog) {
    std::map<std::string, const AppEntry*> byId;
    for (const AppEntry& entry : catalog.apps) {
        byId.emplace(entry.id, &entry);
    }
    return byId;
}

bool isStableId(const std::string& id) {
    // Lower-case words joined by single hyphens: "visual-studio-code", "0-ad".
    if (id.empty() || id.front() == '-' || id.back() == '-' || id.find("--") != std::string::npos) {
        return false;
    }
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

bool installableByBoth(const AppEntry& entry) {
    return PackageManager(PackageManager::homebrew).token(entry).has_value() &&
           PackageManager(PackageManager::macports).token(entry).has_value();
}

Problems uniqueIds(const Catalog& catalog) {
    Problems problems;
    std::set<std::string> seen;
    for (const AppEntry& entry : catalog.apps) {
        if (!seen.insert(entry.id).second) {
            problems.push_back("duplicate id " + entry.id);
        }
    }
    return problems;
}

Problems idFormat(const Catalog& catalog) {
    Problems problems;
    for (const AppEntry& entry : catalog.apps) {
        if (!isStableId(entry.id)) {
            problems.push_back("malformed id \"" + entry.id + "\"");
        }
    }
    return problems;
}

Problems categoriesBothWays(const Catalog& catalog) {
    Problems problems;
    const std::set<std::string> listed(catalog.categories.begin(), catalog.categories.end());
    if (listed.size() != catalog.categories.size()) {
        problems.push_back("a category is listed twice");
    }
    if (listed.size() < 10) {
        problems.push_back("only " + std::to_string(listed.size()) + " categories");
    }
    std::set<std::string> used;
    for (const AppEntry& entry : catalog.apps) {
        used.insert(entry.category);
        if (!listed.contains(entry.category)) {
            problems.push_back(entry.id + " is in unlisted category \"" + entry.category + "\"");
        }
    }
    for (const std::string& category : catalog.categories) {
        if (!used.contains(category)) {
            problems.push_back("category \"" + category + "\" has no entries");
        }
    }
    return problems;
}

Problems licencesKnown(const Catalog& catalog) {
    Problems problems;
    const std::set<std::string> allowed = {"open-source", "freeware", "free-personal", "free-tier"};
    for (const auto& [key, description] : catalog.licences) {
        if (!allowed.contains(key)) {
            problems.push_back("licence key \"" + key + "\" is not one the window can label");
        }
        if (description.empty()) {
            problems.push_back("licence \"" + key + "\" has no description");
        }
    }
    for (const AppEntry& entry : catalog.apps) {
        if (!catalog.isValidLicence(entry.licence)) {
            problems.push_back(entry.id + " has unknown licence \"" + entry.licence + "\"");
        }
    }
    return problems;
}

Problems packageNamesPassTheirRules(const Catalog& catalog) {
    Problems problems;
    for (const AppEntry& entry : catalog.apps) {
        if (!entry.macos) {
            problems.push_back(entry.id + " has no macOS record");
            continue;
        }
        if (entry.macos->type != "cask" && entry.macos->type != "formula") {
            problems.push_back(entry.id + " has Homebrew type \"" + entry.macos->type + "\"");
        }
        if (PackageManager(PackageManager::homebrew).token(entry) != entry.macos->brew) {
            problems.push_back(entry.id + ": Homebrew name \"" + entry.macos->brew +
                               "\" fails the name rule");
        }
        if (entry.macos->macports &&
            PackageManager(PackageManager::macports).token(entry) != entry.macos->macports) {
            problems.push_back(entry.id + ": MacPorts name \"" + *entry.macos->macports +
                               "\" fails the name rule");
        }
    }
    return problems;
}

Problems displayTexts(const Catalog& catalog) {
    Problems problems;
    for (const AppEntry& entry : catalog.apps) {
        const std::string& home = entry.homepage;
        const std::string scheme = "https://";
        if (home.rfind(scheme, 0) != 0 || home.size() <= scheme.size() ||
            home.find_first_of(" \t\n") != std::string::npos) {
            problems.push_back(entry.id + " homepage is not an https address: " + home);
        }
        if (entry.name.empty()) {
            problems.push_back(entry.id + " has no name");
        }
        if (entry.summary.empty()) {
            problems.push_back(entry.id + " has no summary");
        } else if (entry.summary.back() != '.' || entry.summary.find('\n') != std::string::npos) {
            problems.push_back(entry.id + " summary is not one sentence on one line");
        }
    }
    return problems;
}

Problems recommendedSet(const Catalog& catalog) {
    Problems problems;
    int recommended = 0;
    bool bothManagers = false;
    for (const AppEntry& entry : catalog.apps) {
        if (entry.recommended == false) {
            // An explicit false says nothing the absent key does not; keep the file plain.
            problems.push_back(entry.id + " carries \"recommended\": false");
        }
        if (entry.isRecommended()) {
            ++recommended;
            bothManagers = bothManagers || installableByBoth(entry);
        }
    }
    if (recommended < 15 || recommended > 25) {
        problems.push_back(std::to_string(recommended) + " recommended entries, expected 15 to 25");
    }
    if (!bothManagers) {
        problems.push_back("no recommended entry can be installed by both managers");
    }
    return problems;
}

Problems size(const Catalog& catalog) {
    Problems problems;
    if (catalog.apps.size() < 150) {
        problems.push_back("only " + std::to_string(catalog.apps.size()) + " entries");
    }
    if (catalog.schema != 2) {
        problems.push_back("schema is " + std::to_string(catalog.schema));
    }
    if (catalog.updated.empty()) {
        problems.push_back("no \"updated\" date");
    }
    return problems;
}

struct Rule {
    const char* name;
    std::function<Problems(const Catalog&)> check;
};

void PrintTo(const Rule& rule, std::ostream* out) {
    *out << rule.name;
}

class ShippedCatalogue : public ::testing::TestWithParam<Rule> {};

TEST_P(ShippedCatalogue, Holds) {
    const Problems problems = GetParam().check(shipped());
    std::string report;
    for (const std::string& problem : problems) {
        report += "\n  " + problem;
    }
    EXPECT_TRUE(problems.empty()) << problems.size() << " problem(s):" << report;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ShippedCatalogue,
    ::testing::Values(Rule{"UniqueIds", uniqueIds}, Rule{"IdFormat", idFormat},
                      Rule{"CategoriesBothWays", categoriesBothWays},
                      Rule{"LicencesKnown", licencesKnown},
                      Rule{"PackageNamesPassTheirRules", packageNamesPassTheirRules},
                      Rule{"DisplayTexts", displayTexts}, Rule{"RecommendedSet", recommendedSet},
                      Rule{"Size", size}),
    [](const ::testing::TestParamInfo<Rule>& info) { return std::string(info.param.name); });

std::set<std::string> readNames(const fs::path& path) {
    std::set<std::string> names;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            names.insert(line);
        }
    }
    return names;
}

// The package lists are snapshots of the managers' public trees; a name missing there
// cannot be installed, however well it passes the name rule.
TEST(ShippedCatalogueNames, ExistInThePackageManagersSnapshots) {
    const fs::path data = CAIRNMOOR_SHARED_DATA_DIR;
    if (!fs::is_directory(data)) {
        GTEST_SKIP() << "package lists not available at " << data;
    }
    const auto casks = readNames(data / "brew-casks.txt");
    const auto formulae = readNames(data / "brew-formulae.txt");
    const auto ports = readNames(data / "macports-ports.txt");
    ASSERT_FALSE(casks.empty() || formulae.empty() || ports.empty());

    int withPort = 0;
    for (const AppEntry& entry : shipped().apps) {
        ASSERT_TRUE(entry.macos) << entry.id;
        const bool isCask = entry.macos->isCask();
        EXPECT_TRUE((isCask ? casks : formulae).contains(entry.macos->brew))
            << entry.id << ": no Homebrew " << (isCask ? "cask " : "formula ") << entry.macos->brew;
        if (entry.macos->macports) {
            ++withPort;
            // Port names are case-sensitive: "VLC", not "vlc".
            EXPECT_TRUE(ports.contains(*entry.macos->macports))
                << entry.id << ": no MacPorts port " << *entry.macos->macports;
        }
    }
    EXPECT_GT(withPort, 0);
}

std::vector<fs::path> sampleProfiles() {
    std::vector<fs::path> paths;
    for (const auto& item : fs::directory_iterator(fs::path(CAIRNMOOR_SOURCE_DIR) / "examples")) {
        if (item.path().extension() == std::string(".") + Profile::fileExtension) {
            paths.push_back(item.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The samples are what a new user installs first; each must work with Homebrew as saved.
TEST(ShippedSampleProfiles, LoadAndResolveToAppsTheirManagerCanInstall) {
    const auto profiles = sampleProfiles();
    ASSERT_GE(profiles.size(), 3u);
    const auto byId = entriesById(shipped());
    for (const fs::path& path : profiles) {
        SCOPED_TRACE(path.filename().string());
        const Profile profile = Profile::load(path);
        EXPECT_FALSE(profile.apps.empty());
        EXPECT_EQ(profile.schema, 2);
        const std::set<std::string> distinct(profile.apps.begin(), profile.apps.end());
        EXPECT_EQ(distinct.size(), profile.apps.size()) << "an id is listed twice";

        std::vector<AppEntry> selection;
        for (const std::string& id : profile.apps) {
            const auto found = byId.find(id);
            if (found == byId.end()) {
                ADD_FAILURE() << "unknown id " << id;
                continue;
            }
            selection.push_back(*found->second);
        }
        EXPECT_NO_THROW(profile.options.packageManager.validate(selection));
    }
}

} // namespace
} // namespace cairnmoor
