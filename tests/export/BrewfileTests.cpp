#include "ExportTestSupport.hpp"
#include "export/ScriptExporter.hpp"

#include <gtest/gtest.h>

namespace cairnmoor {
namespace {

using testing::cask;
using testing::formula;
using testing::unmapped;

TEST(Brewfile, OneLinePerMappedEntryInTheGivenOrder) {
    AppEntry capital = formula("Capital", "capital");
    capital.macos->type = "Cask";
    AppEntry portOnlyName = formula("Ported", "ported-brew", "ported-port");
    EXPECT_EQ(ScriptExporter::brewfile({formula("Zeta", "zeta"), unmapped("Nothing"),
                                        cask("Alpha", "alpha"), capital, portOnlyName,
                                        cask("Tap", "user/tap/thing@2"), formula("C", "c++")}),
              "brew \"zeta\"\n"
              "cask \"alpha\"\n"
              "brew \"capital\"\n"
              "brew \"ported-brew\"\n"
              "cask \"user/tap/thing@2\"\n"
              "brew \"c++\"\n");
    EXPECT_EQ(ScriptExporter::brewfile({cask("Alpha", "alpha")}), "cask \"alpha\"\n");
}

TEST(Brewfile, NothingToWriteGivesEmptyText) {
    EXPECT_EQ(ScriptExporter::brewfile({}), "");
    EXPECT_EQ(ScriptExporter::brewfile({unmapped("A"), unmapped("B")}), "");
}

// The Brewfile is evaluated as Ruby: a stored name must never be able to leave its
// string literal, so names outside Homebrew's own rule are dropped, not escaped.
TEST(Brewfile, NamesThatCouldEscapeTheirQuotesAreLeftOut) {
    const std::vector<AppEntry> entries = {
        cask("Good", "good"),
        formula("Quote", "x\"; system(\"touch /tmp/pwned\"); \""),
        formula("Backslash", "x\\"),
        cask("Interpolation", "#{`id`}"),
        formula("Newline", "a\nbrew \"evil\""),
        formula("Empty", ""),
        formula("Leading hyphen", "-x"),
        formula("Space", " padded"),
        formula("Also good", "also-good"),
    };
    EXPECT_EQ(ScriptExporter::brewfile(entries), "cask \"good\"\nbrew \"also-good\"\n");
}

} // namespace
} // namespace cairnmoor
