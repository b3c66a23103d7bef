#include "catalogue/CatalogSearch.hpp"

#include <gtest/gtest.h>

#include <string>

namespace cairnmoor {
namespace {

const AppEntry kGimp{.id = "gimp-app",
                     .name = "GNU Image Program",
                     .category = "Developer Tools",
                     .licence = "GPL-3.0",
                     .homepage = "https://gimp.example",
                     .summary = "Edits raster images.",
                     .macos = MacOSInfo{"gimp-cask", "cask", "gimp-port"},
                     .recommended = true};

TEST(SearchedFields, OnlyNameIdPackageNamesCategoryAndSummaryCount) {
    for (const char* query : {"image program", "GIMP-APP", "gimp-cask", "gimp-port", "developer",
                              "raster", " \t raster\xE3\x80\x80", "\xE2\x80\xA9raster\xC2\xA0"}) {
        EXPECT_TRUE(CatalogSearch::matches(kGimp, query)) << query;
    }
    // Licence, homepage and the recommended flag are never searched; inner white space is
    // literal and a zero-width space is not white space.
    for (const char* query :
         {"GPL", "gimp.example", "true", "image  program", "program image", "\xE2\x80\x8Braster"}) {
        EXPECT_FALSE(CatalogSearch::matches(kGimp, query)) << query;
    }
}

// Case mapping is full lower-casing, not folding (the Kelvin sign lowers to k, ß stays);
// accents compare composed and never match half a letter; invalid bytes compare as they
// are. Every case is tried as it is and after an accented word, which forces the Unicode
// path.
TEST(SummaryText, MatchesTheLowerCasedComposedQueryAnywhere) {
    const struct {
        const char* field;
        const char* query;
        bool matches;
    } cases[] = {
        // clang-format off
        {"xyzzy", "XYZZY", true}, {"xyzzy", "zzy", true}, {"aaab", "AAB", true},
        {"abab-c", "ab-c", true}, {"xyzz", "zzy", false}, {"xyzzy", "xyzzyq", false},
        {"@Z[", "`z{", false}, {"ÉCOLE", "école", true}, {"ΣΟΦ", "σο", true},
        {"10 kB", "10 \u212A", true}, {"İstanbul", "i\u0307stanbul", true},
        {"i\u0307stanbul", "İSTANBUL", true}, {"Istanbul", "ıstanbul", false},
        {"Straße", "STRASSE", false}, {"Cafe\u0301 Menu", "café", true},
        {"Café Menu", "CAFE\u0301", true}, {"Cafe\u0301 Menu", "cafe menu", false},
        {"bad \xFF\xFE bytes \xC3", "\xFF\xFE", true}, {"bad \xFF\xFE", "\xFE\xFF", false},
        // clang-format on
    };
    for (const auto& c : cases) {
        for (const std::string prefix : {"", "é "}) {
            AppEntry entry;
            entry.summary = prefix + c.field;
            EXPECT_EQ(CatalogSearch::matches(entry, c.query), c.matches)
                << prefix << c.field << " / " << c.query;
        }
    }
}

TEST(Filtering, KeepsTheGivenOrderAndABlankQueryKeepsEverything) {
    AppEntry b = kGimp; // without a macOS record: no package names to search
    b.macos.reset();
    b.id = "b";
    AppEntry a = b;
    a.id = "a";
    const auto found = [&](const char* query) {
        std::string ids;
        for (const AppEntry& app : CatalogSearch::filter({b, kGimp, a}, query)) {
            ids += app.id + " ";
        }
        return ids;
    };
    EXPECT_EQ(found("raster"), "b gimp-app a ");
    EXPECT_EQ(found("gimp-cask"), "gimp-app ");
    for (const char* blank : {"", "  ", "\r\n\t\v\f", "\xC2\xA0\xE3\x80\x80",
                              "\xE2\x80\xA8\xC2\x85", " \xE2\x80\x83\n "}) {
        EXPECT_EQ(found(blank), "b gimp-app a ") << blank;
    }
    EXPECT_EQ(CatalogSearch::trimmed(" \xC2\xA0\xC3\xA9 \xFF\xC2\xA0"), "\xC3\xA9 \xFF");
}

} // namespace
} // namespace cairnmoor
