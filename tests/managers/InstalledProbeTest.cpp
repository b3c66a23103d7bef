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
    Lines, InventoryParse,
    ::testing::Values(ParseCase{"HomebrewTrimmedAndDeduplicated",
                                brew,
                                {"  firefox  ", "wget\r", "firefox", "\t", "", "user/tap/tool",
                                 "\u00a0node\u2028"},
                                {"firefox", "wget", "user/tap/tool", "node"},
                                {}},
                      ParseCase{"HomebrewHeading",
                                brew,
                                {"wget", "==> Casks"},
                                {},
                                "Unexpected Homebrew inventory output: ==> Casks"},
                      ParseCase{"HomebrewInnerSpace",
                                brew,
                                {" two words "},
                                {},
                                "Unexpected Homebrew inventory output: two words"},
                      ParseCase{"MacPortsNothingInstalled",
                                port,
                                {"No ports are installed.", "",
                                 "None of the specified ports are installed."},
                                {},
                                {}},
                      // The port name is taken as printed; only the shape of the line is checked.
                      ParseCase{"MacPortsWithVariants",
                                port,
                                {"  wget @1.21.3_0+ssl (active)",
                                 "py312 @3.12.1_0 +lto\t+opt (active)", "odd/name @1 (active)"},
                                {"wget", "py312", "odd/name"},
                                {}},
                      ParseCase{"MacPortsNotActive",
                                port,
                                {"wget @1.21.3_0"},
                                {},
                                "Unexpected MacPorts inventory output: wget @1.21.3_0"},
                      ParseCase{"MacPortsTwoFields",
                                port,
                                {"wget @1.0(active)"},
                                {},
                                "Unexpected MacPorts inventory output: wget @1.0(active)"},
                      ParseCase{"MacPortsVersionWithoutAt",
                                port,
                                {"wget 1.0 (active)"},
                                {},
                                "Unexpected MacPorts inventory output: wget 1.0 (active)"},
                      ParseCase{"MacPortsMessageNotExact",
                                port,
                                {"No ports are installed"},
                                {},
                                "Unexpected MacPorts inventory output: No ports are installed"}),
    [](const auto& info) { return info.param.name; });

// --- Running the inventory command ------------------------------------------------------

struct ProbeCase {
    const char* name;
    PackageManager manager;
    std::vector<std::pair<const char*, const char*>> knobs; // of the fake manager
    std::string outcome; // the failure's text, or the names found joined by spaces
    std::vector<std::string> logged = {};
    friend void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }
};

class ProbeRun : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeRun, ReadsStandardOutputAndShowsStandardError) {
    const ProbeCase& c = GetParam();
    testing::TempDir state;
    state.write("casks/firefox", "");
    ::setenv("CAIRNMOOR_FAKE_STATE", state.path().c_str(), 1);
    for (const auto& [name, value] : c.knobs) {
        ::setenv(name, value, 1);
    }
    const std::string fake =
        std::string(CAIRNMOOR_FAKES_DIR) + "/" + std::string(c.manager.executableName());
    ProcessRunner runner;
    std::vector<std::string> logged;
    std::string outcome;
    try {
        for (const std::string& name : InstalledProbe::installed(
                 fake, c.manager, true, runner,
                 [&](const std::string& line) { logged.push_back(line); }, 0.5)) {
            outcome += (outcome.empty() ? "" : " ") + name;
        }
    } catch (const PackageManagerError& error) {
        outcome = error.what();
    }
    for (const auto& [name, value] : c.knobs) {
        ::unsetenv(name);
    }
    ::unsetenv("CAIRNMOOR_FAKE_STATE");
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(logged, c.logged);
}

INSTANTIATE_TEST_SUITE_P(
    Fakes, ProbeRun,
    ::testing::Values(
        ProbeCase{"WarningIsNoInventory",
                  brew,
                  {{"CAIRNMOOR_FAKE_LIST_WARNING", "Warning: some taps are untrusted"}},
                  "firefox",
                  {"Warning: some taps are untrusted"}},
        // A line that is not UTF-8 fails the probe, shown, rather than going missing.
        ProbeCase{"BytesThatAreNotText",
                  brew,
                  {{"CAIRNMOOR_FAKE_LIST_GARBAGE", "caf\\351"}},
                  "Unexpected Homebrew inventory output: caf\uFFFD"},
        ProbeCase{"Fails",
                  port,
                  {{"CAIRNMOOR_FAKE_LIST_FAIL", "3"}},
                  "MacPorts installed-package probe failed (status 3, timeout: false, "
                  "cancelled: false).",
                  {"Error: registry unavailable"}},
        ProbeCase{"Hangs",
                  brew,
                  {{"CAIRNMOOR_FAKE_HANG", "@list"}},
                  "Homebrew installed-package probe failed (status 15, timeout: true, "
                  "cancelled: false)."}),
    [](const auto& info) { return info.param.name; });

TEST(ProbeRun, LaunchFailurePassesOnAndACancelledRunnerStartsNothing) {
    ProcessRunner runner;
    EXPECT_THROW(InstalledProbe::installed("/nonexistent/brew", brew, true, runner), CommandError);
    runner.cancel();
    try {
        InstalledProbe::installed("/nonexistent/brew", brew, true, runner);
        ADD_FAILURE() << "expected the probe to fail";
    } catch (const PackageManagerError& error) {
        EXPECT_EQ(std::string(error.what()), "Homebrew installed-package probe failed (status -1, "
                                             "timeout: false, cancelled: true).");
    }
}

} // namespace
} // namespace cairnmoor
