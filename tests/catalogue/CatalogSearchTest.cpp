#include "catalogue/CatalogSearch.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace cairnmoor {
namespace {

// clang-format off
const AppEntry kGimp{"gimp-app", "GNU Image Program", "Developer Tools", "GPL-3.0", "https://gimp.example",
                     "Edits raster images.", MacOSInfo{"gimp-cask", "cask", "gimp-port"}, true};
// clang-format on

// Licence, homepage and the recommended flag are never searched. Unicode white space around
// the query is trimmed, and a blank query matches everything; inner white space is literal
// and a zero-width space is not white. Filtering keeps the matching entries in their order.
TEST(SearchedFields, OnlyNameIdPackageNamesCategoryAndSummaryCount) {
    for (const char* query :
         {"image program", "GIMP-APP", "gimp-cask", "gimp-port", "developer", "raster",
          " \t raster\xE3\x80\x80", "\xE2\x80\xA9raster\xC2\xA0", "", "\r\n\t\v\f ",
          "\xC2\xA0\xE3\x80\x80\xE2\x80\x83", "\xE2\x80\xA8\xC2\x85"}) {
        EXPECT_TRUE(CatalogSearch::matches(kGimp, query)) << query;
    }
    for (const char* query :
         {"GPL", "gimp.example", "true", "image  program", "program image", "\xE2\x80\x8Braster"}) {
        EXPECT_FALSE(CatalogSearch::matches(kGimp, query)) << query;
    }
    EXPECT_EQ(CatalogSearch::trimmed(" \xC2\xA0\xC3\xA9 \xFF\xC2\xA0"), "\xC3\xA9 \xFF");
    const AppEntry a{"a", "", "", "", "", "raster", {}, {}};
    EXPECT_EQ(CatalogSearch::filter({a, {}, kGimp, a}, "raster"), (std::vector{a, kGimp, a}));
}

// Case mapping is full lower-casing, not folding (the Kelvin sign lowers to k, ß stays);
// accents compare composed and never match half a letter; invalid bytes compare as they
// are. Every case is tried as it is and after an accented word, which forces the Unicode
// path.
TEST(SummaryText, MatchesTheLowerCasedComposedQueryAnywhere) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // clang-format off
        {"xyzzy", "XYZZY", true}, {"xyzzy", "zzy", true}, {"aaab", "AAB", true}, {"abab-c", "ab-c", true},
        {"xyzz", "zzy", false}, {"xyzzy", "xyzzyq", false}, {"@Z[", "`z{", false}, {"ÉCOLE", "école", true},
        {"ΣΟΦ", "σο", true}, {"10 kB", "10 \u212A", true}, {"İstanbul", "i\u0307stanbul", true},
        {"i\u0307stanbul", "İSTANBUL", true}, {"Istanbul", "ıstanbul", false}, {"Straße", "STRASSE", false},
        {"Cafe\u0301 Menu", "café", true}, {"Café Menu", "CAFE\u0301", true}, {"Cafe\u0301 Menu", "cafe menu", false},
        {"bad \xFF\xFE bytes \xC3", "\xFF\xFE", true}, {"bad \xFF\xFE", "\xFE\xFF", false},
        // clang-format on
    };
    for (const auto& [field, query, matches] : cases) {
        for (const std::string prefix : {"", "é "}) {
            const AppEntry entry{"", "", "", "", "", prefix + field, {}, {}};
            EXPECT_EQ(CatalogSearch::matches(entry, query), matches)
                << prefix << field << " / " << query;
        }
    }
}

} // namespace
} // namespace cairnmoor
