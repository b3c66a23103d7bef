#include "catalogue/CatalogSearch.hpp"

#include "support/TestNames.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cairnmoor {
namespace {

AppEntry entry(std::string id, std::string name, std::optional<MacOSInfo> macos = std::nullopt) {
    return AppEntry{.id = std::move(id),
                    .name = std::move(name),
                    .category = "Developer Tools",
                    .licence = "GPL-3.0",
                    .homepage = "https://gimp.example/download",
                    .summary = "Edits raster images and photos.",
                    .macos = std::move(macos),
                    .recommended = true};
}

const AppEntry kGimp =
    entry("gimp-app", "GNU Image Program", MacOSInfo{"gimp-cask", "cask", "gimp-port"});
const AppEntry kBare = entry("bare", "Bare Tool");

std::vector<std::string> ids(const std::vector<AppEntry>& entries) {
    std::vector<std::string> result;
    for (const AppEntry& e : entries) {
        result.push_back(e.id);
    }
    return result;
}

// ---- Which fields are searched ------------------------------------------------------

struct FieldCase {
    const char* query;
    bool matchesGimp;
    friend void PrintTo(const FieldCase& c, std::ostream* os) {
        *os << testing::testNameText(c.query);
    }
};

class SearchedFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(SearchedFields, OnlyNameIdPackageNamesCategoryAndSummaryCount) {
    EXPECT_EQ(CatalogSearch::matches(kGimp, GetParam().query), GetParam().matchesGimp)
        << GetParam().query;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchedFields,
    ::testing::Values(FieldCase{"image program", true}, // name
                      FieldCase{"gimp-app", true},      // id
                      FieldCase{"gimp-cask", true},     // Homebrew name
                      FieldCase{"gimp-port", true},     // MacPorts name
                      FieldCase{"developer", true},     // category
                      FieldCase{"raster", true},        // summary
                      FieldCase{"GPL-3.0", false},      // licence is never searched
                      FieldCase{"gimp.example", false}, // homepage is never searched
                      FieldCase{"download", false},
                      FieldCase{"cask\n", true}, // "cask" is in "gimp-cask", not from the type
                      FieldCase{"true", false},  // recommended is never searched
                      FieldCase{"image  program", false}, // inner white space is literal
                      FieldCase{"program image", false},  // not split into words
                      FieldCase{"zzz", false}));

TEST(SearchedFieldsWithoutMacRecord, PackageNamesAreSkippedSafely) {
    EXPECT_TRUE(CatalogSearch::matches(kBare, "bare tool"));
    EXPECT_FALSE(CatalogSearch::matches(kBare, "gimp-cask"));
    AppEntry noPort = kGimp;
    noPort.macos->macports.reset();
    EXPECT_FALSE(CatalogSearch::matches(noPort, "gimp-port"));
}

// ---- Trimming ------------------------------------------------------------------------

class BlankQueries : public ::testing::TestWithParam<std::string> {};

TEST_P(BlankQueries, MatchEveryEntryIncludingThoseWithoutAMacRecord) {
    EXPECT_TRUE(CatalogSearch::matches(kBare, GetParam()));
    EXPECT_TRUE(CatalogSearch::matches(kGimp, GetParam()));
    EXPECT_EQ(CatalogSearch::filter({kGimp, kBare}, GetParam()).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, BlankQueries,
                         ::testing::Values("", " ", "   ", "\n", "\r\n\t", "\v\f",
                                           "\xC2\xA0",           // no-break space
                                           "\xE3\x80\x80",       // ideographic space
                                           "\xE2\x80\xA8",       // line separator
                                           "\xC2\x85",           // next line
                                           " \xE2\x80\x83\n ")); // em space among others

TEST(QueryTrimming, UnicodeWhiteSpaceAtTheEndsIsIgnored) {
    for (const char* query : {" raster ", "\traster\n", "\xC2\xA0raster\xE3\x80\x80",
                              "\xE2\x80\xA9raster\xE2\x80\x89"}) {
        EXPECT_TRUE(CatalogSearch::matches(kGimp, query)) << query;
    }
    // Not white space: a zero-width space stays part of the query.
    EXPECT_FALSE(CatalogSearch::matches(kGimp, "\xE2\x80\x8Braster"));
}

TEST(QueryTrimming, TrimmedKeepsInnerTextAndInvalidBytes) {
    EXPECT_EQ(CatalogSearch::trimmed("  a b \n"), "a b");
    EXPECT_EQ(CatalogSearch::trimmed("\xC2\xA0\xC3\xA9\xC2\xA0"), "\xC3\xA9");
    EXPECT_EQ(CatalogSearch::trimmed(" \xFF "), "\xFF");
    EXPECT_EQ(CatalogSearch::trimmed("\xA0"), "\xA0");  // a stray continuation byte is not a space
    EXPECT_EQ(CatalogSearch::trimmed(" \xC2"), "\xC2"); // a truncated sequence is kept
}

// ---- Case ----------------------------------------------------------------------------

struct CaseCase {
    const char* field;
    const char* query;
    bool matches;
    friend void PrintTo(const CaseCase& c, std::ostream* os) {
        *os << testing::testNameText(std::string(c.field) + " " + c.query);
    }
};

class CaseInsensitivity : public ::testing::TestWithParam<CaseCase> {};

TEST_P(CaseInsensitivity, UsesTheFullUnicodeLowerCaseMapping) {
    AppEntry e = kBare;
    e.summary = GetParam().field;
    EXPECT_EQ(CatalogSearch::matches(e, GetParam().query), GetParam().matches)
        << GetParam().field << " / " << GetParam().query;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaseInsensitivity,
    ::testing::Values(CaseCase{"photo editor", "PHOTO", true},
                      CaseCase{"PHOTO EDITOR", "photo", true},
                      CaseCase{"\xC3\x89"
                               "COLE",
                               "\xC3\xA9"
                               "cole",
                               true}, // ÉCOLE / école
                      CaseCase{"\xC3\xA9"
                               "cole",
                               "\xC3\x89"
                               "COLE",
                               true},
                      CaseCase{"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91",
                               "\xCF\x83\xCE\xBF\xCF\x86", true}, // ΣΟΦΙΑ
                      CaseCase{"\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90",
                               "\xD0\xBC\xD0\xBE\xD1\x81", true}, // МОСКВА
                      CaseCase{"k\xC3\xB6nig", "K\xC3\x96NIG", true},
                      CaseCase{"10 kB",
                               "10 \xE2\x84\xAA"
                               "B",
                               true}, // KELVIN SIGN lowers to k
                      CaseCase{"\xE2\x84\xAA"
                               "elvin",
                               "kelvin", true},
                      CaseCase{"\xC4\xB0stanbul", "i\xCC\x87stanbul", true}, // İ -> i + dot above
                      CaseCase{"i\xCC\x87stanbul", "\xC4\xB0STANBUL", true},
                      CaseCase{"Stra\xC3\x9F"
                               "e",
                               "STRASSE", false}, // lower-casing is not folding
                      CaseCase{"\xC7\x85"
                               "x",
                               "\xC7\x86"
                               "x",
                               true}, // title-case Dž lowers to dž
                      CaseCase{"Istanbul", "\xC4\xB1stanbul",
                               false})); // dotless ı is its own letter

TEST(CaseInsensitivity, LowercasedMapsCodePointsAndKeepsInvalidBytes) {
    EXPECT_EQ(CatalogSearch::lowercased("ABC xyz 123"), "abc xyz 123");
    EXPECT_EQ(CatalogSearch::lowercased("\xC3\x80\xC3\x89"), "\xC3\xA0\xC3\xA9");
    EXPECT_EQ(CatalogSearch::lowercased("\xC4\xB0"), "i\xCC\x87");
    EXPECT_EQ(CatalogSearch::lowercased("A\xFF"
                                        "B\xC3"),
              "a\xFF"
              "b\xC3");
}

// ---- Canonical equivalence and odd bytes ---------------------------------------------

TEST(CanonicalEquivalence, PrecomposedAndDecomposedAccentsMatchEachOther) {
    AppEntry decomposed = kBare;
    decomposed.name = "Cafe\xCC\x81 Menu"; // e + combining acute
    AppEntry precomposed = kBare;
    precomposed.name = "Caf\xC3\xA9 Menu";
    EXPECT_TRUE(CatalogSearch::matches(decomposed, "caf\xC3\xA9"));
    EXPECT_TRUE(CatalogSearch::matches(precomposed, "CAFE\xCC\x81"));
    // A bare letter does not match half of an accented one.
    EXPECT_FALSE(CatalogSearch::matches(decomposed, "cafe menu"));
}

TEST(InvalidText, NeverCrashesAndMatchesByteForByte) {
    AppEntry odd = kBare;
    odd.summary = "bad \xFF\xFE bytes \xC3";
    EXPECT_TRUE(CatalogSearch::matches(odd, "\xFF\xFE"));
    EXPECT_TRUE(CatalogSearch::matches(odd, "BYTES"));
    EXPECT_FALSE(CatalogSearch::matches(odd, "\xFE\xFF"));
    EXPECT_FALSE(CatalogSearch::matches(kBare, "\xFF"));
}

// ---- Substring positions ------------------------------------------------------------

struct PositionCase {
    const char* field;
    const char* query;
    bool matches;
    friend void PrintTo(const PositionCase& c, std::ostream* os) {
        *os << testing::testNameText(std::string(c.field) + " " + c.query);
    }
};

class SubstringPositions : public ::testing::TestWithParam<PositionCase> {};

TEST_P(SubstringPositions, FindTheQueryWhereverItStarts) {
    AppEntry e = kBare;
    e.summary = GetParam().field;
    // The same text in an entry with an accented name takes the Unicode path.
    AppEntry accented = e;
    accented.name = "\xC3\x89tude";
    accented.summary = std::string("\xC3\xA9 ") + GetParam().field;
    EXPECT_EQ(CatalogSearch::matches(e, GetParam().query), GetParam().matches);
    EXPECT_EQ(CatalogSearch::matches(accented, GetParam().query), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubstringPositions,
    ::testing::Values(PositionCase{"xyzzy", "XYZZY", true}, PositionCase{"xyzzy", "zzy", true},
                      PositionCase{"xyzzy", "y", true}, PositionCase{"aaab", "AAB", true},
                      PositionCase{"abab-c", "ab-c", true}, PositionCase{"port-9", "-9", true},
                      PositionCase{"xyzzy", "xyzzyq", false}, PositionCase{"xyzz", "zzy", false},
                      PositionCase{"x-y", "x_y", false}, PositionCase{"[]", "{}", false},
                      PositionCase{"@Z", "`z", false})); // "@" and "`" sit beside A and a

// ---- Filtering -----------------------------------------------------------------------

TEST(Filtering, KeepsTheGivenOrderAndOnlyMatchingEntries) {
    const AppEntry a = entry("a", "Alpha Editor");
    const AppEntry b = entry("b", "Beta Viewer");
    const AppEntry c = entry("c", "Gamma Editor");
    EXPECT_EQ(ids(CatalogSearch::filter({c, b, a}, "editor")),
              (std::vector<std::string>{"c", "a"}));
    EXPECT_EQ(ids(CatalogSearch::filter({c, b, a}, " ")),
              (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_TRUE(CatalogSearch::filter({}, "x").empty());
    EXPECT_TRUE(CatalogSearch::filter({}, "").empty());
    // filter and matches agree on every entry.
    for (const char* query : {"EDITOR", "beta", "zzz", "raster"}) {
        std::vector<std::string> expected;
        for (const AppEntry& e : {c, b, a}) {
            if (CatalogSearch::matches(e, query)) {
                expected.push_back(e.id);
            }
        }
        EXPECT_EQ(ids(CatalogSearch::filter({c, b, a}, query)), expected) << query;
    }
}

} // namespace
} // namespace cairnmoor
