#include "import/BrewfileReader.hpp"

#include "catalogue/CatalogLoader.hpp"
#include "export/ScriptExporter.hpp"
#include "install/Profile.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>

// A Brewfile is read as data: what it asks for, and every line it cannot use by number.
namespace cairnmoor {
namespace {

// "f:wget c:firefox t:user/repo! #4 #7": formulae, casks, taps (! trusted), unusable lines.
std::string summary(const Brewfile& file) {
    std::string text;
    const auto add = [&](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
    for (const ProfilePackage& package : file.packages) {
        add((package.kind == ProfilePackage::Kind::cask ? "c:" : "f:") + package.name);
    }
    for (const Brewfile::Tap& tap : file.taps) {
        add("t:" + tap.name + (tap.trusted ? "!" : ""));
    }
    for (const Brewfile::Unusable& line : file.unusable) {
        add("#" + std::to_string(line.line));
    }
    return text;
}

TEST(BrewfileReader, ReadsRealWorldShapesAndListsWhatItCannotUse) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"# Taps\ntap \"homebrew/bundle\"\ntap 'user/repo', trusted: true\n\nbrew \"wget\" # fetcher\ncask 'firefox'\n",
         "f:wget c:firefox t:homebrew/bundle t:user/repo!"},
        {"\xEF\xBB\xBF" "brew \"a\"\r\ncask \"b\", args: { appdir: \"~/Apps\" }\r\n",
         "f:a c:b"},
        // Options and their arrays over several lines, a hash sign inside quotes.
        {"brew \"mysql@8.4\", restart_service: :changed, link: true,\n  conflicts_with: [\"mysql\"]\n"
         "brew \"denji/nginx/nginx-full\", args: [\n  \"with-rtmp\",\n  \"#nope\"\n]\nbrew(\"c++\")\n",
         "f:mysql@8.4 f:denji/nginx/nginx-full f:c++"},
        {"mas \"Xcode\", id: 497799835\nvscode \"ms-python.python\"\ngo \"x\"\ncargo \"y\"\nuv \"z\"\n"
         "winget \"w\"\nwhalebrew \"v\"\ncask_args appdir: \"/Applications\"\nrequire \"x\"\n",
         "#1 #2 #3 #4 #5 #6 #7 #8 #9"},
        // Conditions: trailing, and whole blocks with whatever they hold, nested.
        {"brew \"gnupg\" if OS.mac?\ncask \"java\", greedy: true unless system \"/usr/libexec/java_home\"\n"
         "if OS.linux?\n  brew \"glibc\"\n  if ENV[\"X\"]\n    cask \"z\"\n  end\nelse\n  cask \"k\"\nend\n"
         "[\"a\", \"b\"].each do |name|\n  brew name\nend\nbrew \"after\"\nbrew \"x\", if: true\n",
         "f:after f:x #1 #2 #3 #4 #5 #6 #7 #8 #9 #10 #11 #12 #13"},
        // Broken lines never stop the rest, nor do names outside Homebrew's rule.
        {"brew \"open\ncask \"fine\"\nbrew \"#{ENV['X']}\"\nbrew \"a b\"\nbrew wget\nbrew \"x\" trailing\n"
         "brew \"x\"]\ncask \"ok\"\nbrew \"never\", args: [\n",
         "c:fine c:ok #1 #3 #4 #5 #6 #7 #9"},
        {"", ""}, {"\n\n# only comments\n", ""},
    };
    // clang-format on
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(summary(BrewfileReader::read(text)), expected) << text;
    }
    const Brewfile read = BrewfileReader::read("brew \"ok\"\n\nmas \"Xcode\", id: 1 # the editor\n"
                                               "brew \"x\" if OS.mac?\n" +
                                               std::string(400, 'z') + "\n");
    ASSERT_EQ(read.unusable.size(), 3u);
    EXPECT_EQ(read.unusable[0], (Brewfile::Unusable{3, "mas \"Xcode\", id: 1 # the editor",
                                                    "a mas entry; Cairnmoor installs only brew "
                                                    "and cask entries"}));
    EXPECT_NE(read.unusable[1].reason.find("condition"), std::string::npos);
    EXPECT_EQ(read.unusable[2].text, std::string(160, 'z') + "\u2026");
}

// What Cairnmoor exports, it imports back to the same selection: catalogue apps by id,
// other packages (tap-qualified ones too) by name and kind, in any mix.
TEST(BrewfileReader, ExportedBrewfilesImportBackToTheSameSelection) {
    const Catalog catalog = CatalogLoader::loadEmbedded();
    // The entries a Brewfile can name, each the first in the catalogue for its package.
    std::vector<const AppEntry*> named;
    std::set<std::string> packages;
    for (const AppEntry& entry : catalog.apps) {
        const auto token = PackageManager(PackageManager::homebrew).token(entry);
        if (token && packages.insert(entry.macos->type + " " + *token).second) {
            named.push_back(&entry);
        }
    }
    ASSERT_GT(named.size(), 50u);
    std::mt19937 random(26);
    for (int round = 0; round < 200; ++round) {
        Profile chosen;
        std::vector<AppEntry> entries;
        for (const AppEntry* entry : named) {
            if (random() % 8 == 0) {
                chosen.apps.push_back(entry->id);
                entries.push_back(*entry);
            }
        }
        for (unsigned i = random() % 6; i > 0; --i) {
            ProfilePackage package{
                (random() % 2 ? "zz-user/tap/p" : "zz-p") + std::to_string(random() % 1000),
                random() % 2 ? ProfilePackage::Kind::cask : ProfilePackage::Kind::formula};
            if (std::find(chosen.packages.begin(), chosen.packages.end(), package) ==
                chosen.packages.end()) {
                chosen.packages.push_back(package);
                entries.push_back(package.entry());
            }
        }
        const Brewfile read = BrewfileReader::read(ScriptExporter::brewfile(entries));
        const Profile imported = Profile::gathering(read.packages, catalog);
        EXPECT_TRUE(read.unusable.empty());
        EXPECT_EQ(imported.apps, chosen.apps) << ScriptExporter::brewfile(entries);
        EXPECT_EQ(imported.packages, chosen.packages) << ScriptExporter::brewfile(entries);
    }
}

} // namespace
} // namespace cairnmoor
