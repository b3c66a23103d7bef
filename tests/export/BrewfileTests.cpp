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
    capital.macos->type = "Cask"; // only the exact type means a cask
    EXPECT_EQ(ScriptExporter::brewfile({formula("Zeta", "zeta"), unmapped("Nothing"),
                                        cask("Alpha", "alpha"), capital,
                                        formula("Ported", "ported-brew", "ported-port"),
                                        cask("Tap", "user/tap/thing@2"), formula("C", "c++")}),
              "brew \"zeta\"\ncask \"alpha\"\nbrew \"capital\"\nbrew \"ported-brew\"\n"
              "cask \"user/tap/thing@2\"\nbrew \"c++\"\n");
    EXPECT_EQ(ScriptExporter::brewfile({}), "");
    EXPECT_EQ(ScriptExporter::brewfile({unmapped("A"), unmapped("B")}), "");
}

// The Brewfile is evaluated as Ruby: a stored name must never be able to leave its
// string literal, so names outside Homebrew's own rule are dropped, not escaped.
TEST(Brewfile, NamesThatCouldEscapeTheirQuotesAreLeftOut) {
    EXPECT_EQ(ScriptExporter::brewfile(
                  {cask("Good", "good"), formula("Quote", "x\"; system(\"touch /tmp/pwned\"); \""),
                   formula("Backslash", "x\\"), cask("Interpolation", "#{`id`}"),
                   formula("Newline", "a\nbrew \"evil\""), formula("Empty", ""),
                   formula("Leading hyphen", "-x"), formula("Space", " padded"),
                   formula("Also good", "also-good")}),
              "cask \"good\"\nbrew \"also-good\"\n");
}

} // namespace
} // namespace cairnmoor
