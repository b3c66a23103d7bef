#include "managers/InstalledProbe.hpp"

#include "managers/CommandError.hpp"
#include "managers/PackageManagerError.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace cairnmoor {
namespace {

using Names = std::set<std::string>;

// --- Parsing ---------------------------------------------------------------------------

struct ParseCase {
    const char* name;
    PackageManager manager;
    std::vector<std::string> lines;
    Names names;                      // when the parse succeeds
    std::optional<std::string> error; // when it fails
};

// Test names show the case, not its bytes.
void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class InventoryParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(InventoryParse, AcceptsOnlyTheExpectedShape) {
    const ParseCase& c = GetParam();
    if (c.error) {
        try {
            InstalledProbe::parse(c.lines, c.manager);
            ADD_FAILURE() << "expected the parse to fail";
        } catch (const PackageManagerError& error) {
            EXPECT_EQ(error.kind(), PackageManagerError::Kind::commandFailed);
            EXPECT_EQ(std::string(error.what()), *c.error);
        }
    } else {
        EXPECT_EQ(InstalledProbe::parse(c.lines, c.manager), c.names);
    }
}

const PackageManager brew = PackageManager::homebrew;
const PackageManager port = PackageManager::macports;

INSTANTIATE_TEST_SUITE_P(
    Homebrew, InventoryParse,
    ::testing::Values(
        ParseCase{"Empty", brew, {}, {}, {}},
        ParseCase{"NamesTrimmedAndDeduplicated",
                  brew,
                  {"  firefox  ", "wget\r", "firefox", "\t", "", "user/tap/tool", "python@3.12"},
                  {"firefox", "wget", "user/tap/tool", "python@3.12"},
                  {}},
        ParseCase{"UnicodeSpacesTrimmed", brew, {"\u00a0node\u2028", "\u3000"}, {"node"}, {}},
        ParseCase{"Heading",
                  brew,
                  {"wget", "==> Casks"},
                  {},
                  "Unexpected Homebrew inventory output: ==> Casks"},
        ParseCase{"InnerSpace",
                  brew,
                  {" two words "},
                  {},
                  "Unexpected Homebrew inventory output: two words"},
        ParseCase{"LeadingHyphen", brew, {"-x"}, {}, "Unexpected Homebrew inventory output: -x"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    MacPorts, InventoryParse,
    ::testing::Values(
        ParseCase{"NothingInstalled", port, {"No ports are installed."}, {}, {}},
        ParseCase{
            "NoneOfTheSpecified", port, {"", "None of the specified ports are installed."}, {}, {}},
        ParseCase{"PortsWithVariants",
                  port,
                  {"  wget @1.21.3_0+ssl (active)", "",
                   "python312 @3.12.1_0 +lto\t+optimizations (active)"},
                  {"wget", "python312"},
                  {}},
        // The port name is taken as printed; only the shape of the line is checked.
        ParseCase{"NameNotChecked", port, {"odd/name @1 (active)"}, {"odd/name"}, {}},
        ParseCase{"NotActive",
                  port,
                  {"wget @1.21.3_0"},
                  {},
                  "Unexpected MacPorts inventory output: wget @1.21.3_0"},
        ParseCase{"TwoFields",
                  port,
                  {"wget @1.0(active)"},
                  {},
                  "Unexpected MacPorts inventory output: wget @1.0(active)"},
        ParseCase{"VersionWithoutAt",
                  port,
                  {"wget 1.0 (active)"},
                  {},
                  "Unexpected MacPorts inventory output: wget 1.0 (active)"},
        ParseCase{
            "Heading",
            port,
            {"wget @1 (active)", "  The following ports are currently installed:  "},
            {},
            "Unexpected MacPorts inventory output: The following ports are currently installed:"},
        ParseCase{"MessageNotExact",
                  port,
                  {"No ports are installed"},
                  {},
                  "Unexpected MacPorts inventory output: No ports are installed"}),
    [](const auto& info) { return info.param.name; });

// --- Failures of the inventory command itself -------------------------------------------

TEST(ProbeRun, FailuresCarryTheStatusAndFlagsOrPassTheLaunchErrorOn) {
    testing::TempDir state;
    ::setenv("CAIRNMOOR_FAKE_STATE", state.path().c_str(), 1);
    ::setenv("CAIRNMOOR_FAKE_LIST_FAIL", "3", 1);
    const std::string fakePort = std::string(CAIRNMOOR_FAKES_DIR) + "/port";
    const std::string fakeBrew = std::string(CAIRNMOOR_FAKES_DIR) + "/brew";
    const auto failureOf = [](const std::string& path, PackageManager manager,
                              ProcessRunner& runner) -> std::string {
        try {
            InstalledProbe::installed(path, manager, false, runner);
        } catch (const PackageManagerError& error) {
            return error.what();
        }
        return "(no failure)";
    };
    ProcessRunner runner;
    EXPECT_EQ(
        failureOf(fakePort, port, runner),
        "MacPorts installed-package probe failed (status 3, timeout: false, cancelled: false).");
    try {
        InstalledProbe::installed("/nonexistent/brew", brew, true, runner);
        ADD_FAILURE() << "expected a launch failure";
    } catch (const CommandError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not launch /nonexistent/brew.");
    }
    // A cancelled runner fails the probe without launching anything.
    runner.cancel();
    EXPECT_EQ(
        failureOf(fakeBrew, brew, runner),
        "Homebrew installed-package probe failed (status -1, timeout: false, cancelled: true).");
    EXPECT_EQ(testing::readFile(state / "invocations.log"), "port -q installed active\n");
    ::unsetenv("CAIRNMOOR_FAKE_LIST_FAIL");
    ::unsetenv("CAIRNMOOR_FAKE_STATE");
}

} // namespace
} // namespace cairnmoor
