#include "managers/InstalledProbe.hpp"

#include "managers/CommandError.hpp"
#include "managers/PackageManagerError.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
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
        ParseCase{"LeadingHyphen", brew, {"-x"}, {}, "Unexpected Homebrew inventory output: -x"},
        ParseCase{"MacPortsShapeIsNotAName",
                  brew,
                  {"wget @1.0 (active)"},
                  {},
                  "Unexpected Homebrew inventory output: wget @1.0 (active)"}),
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

// --- Running the inventory command against the fake managers ----------------------------

class ProbeRun : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("CAIRNMOOR_FAKE_STATE", state_.path().c_str(), 1);
        for (const char* knob : {"CAIRNMOOR_FAKE_LIST_FAIL", "CAIRNMOOR_FAKE_LIST_GARBAGE",
                                 "CAIRNMOOR_FAKE_HANG", "CAIRNMOOR_FAKE_FAIL"}) {
            ::unsetenv(knob);
        }
    }
    void TearDown() override {
        for (const char* knob :
             {"CAIRNMOOR_FAKE_STATE", "CAIRNMOOR_FAKE_LIST_FAIL", "CAIRNMOOR_FAKE_LIST_GARBAGE"}) {
            ::unsetenv(knob);
        }
    }

    void install(const std::string& relative) const { state_.write(relative, ""); }
    std::string invocations() const { return testing::readFile(state_ / "invocations.log"); }
    std::string failureOf(PackageManager manager, bool cask, ProcessRunner& runner) const {
        try {
            InstalledProbe::installed(fake(manager), manager, cask, runner);
        } catch (const PackageManagerError& error) {
            return error.what();
        }
        return "(no failure)";
    }
    static std::string fake(PackageManager manager) {
        return std::string(CAIRNMOOR_FAKES_DIR) + "/" + std::string(manager.executableName());
    }

    testing::TempDir state_;
};

TEST_F(ProbeRun, TakesEachInventoryWithItsOwnArguments) {
    install("casks/firefox");
    install("casks/iterm2");
    install("formulae/wget");
    install("ports/wget");
    ProcessRunner runner;
    EXPECT_EQ(InstalledProbe::installed(fake(brew), brew, true, runner),
              (Names{"firefox", "iterm2"}));
    EXPECT_EQ(InstalledProbe::installed(fake(brew), brew, false, runner), (Names{"wget"}));
    // MacPorts has no casks: the flag changes nothing.
    EXPECT_EQ(InstalledProbe::installed(fake(port), port, true, runner), (Names{"wget"}));
    EXPECT_EQ(invocations(), "brew list --cask\nbrew list --formula\nport -q installed active\n");
}

TEST_F(ProbeRun, EmptyInventoriesGiveEmptySets) {
    ProcessRunner runner;
    EXPECT_EQ(InstalledProbe::installed(fake(brew), brew, true, runner), Names{});
    EXPECT_EQ(InstalledProbe::installed(fake(port), port, false, runner), Names{});
}

TEST_F(ProbeRun, FailedCommandReportsStatusAndFlags) {
    install("casks/firefox");
    ::setenv("CAIRNMOOR_FAKE_LIST_FAIL", "1", 1);
    ProcessRunner runner;
    EXPECT_EQ(
        failureOf(brew, true, runner),
        "Homebrew installed-package probe failed (status 1, timeout: false, cancelled: false).");
    ::setenv("CAIRNMOOR_FAKE_LIST_FAIL", "3", 1);
    EXPECT_EQ(
        failureOf(port, false, runner),
        "MacPorts installed-package probe failed (status 3, timeout: false, cancelled: false).");
}

TEST_F(ProbeRun, UnexpectedLineFailsTheWholeProbe) {
    install("casks/firefox");
    ::setenv("CAIRNMOOR_FAKE_LIST_GARBAGE", "1", 1);
    ProcessRunner runner;
    EXPECT_EQ(failureOf(brew, true, runner), "Unexpected Homebrew inventory output: ==> Casks");
    EXPECT_EQ(failureOf(port, false, runner),
              "Unexpected MacPorts inventory output: The following ports are currently installed:");
}

TEST_F(ProbeRun, CancelledRunnerFailsAtOnce) {
    ProcessRunner runner;
    runner.cancel();
    EXPECT_EQ(
        failureOf(brew, false, runner),
        "Homebrew installed-package probe failed (status -1, timeout: false, cancelled: true).");
    EXPECT_FALSE(std::filesystem::exists(state_ / "invocations.log"));
}

TEST_F(ProbeRun, LaunchFailurePassesThroughUnchanged) {
    ProcessRunner runner;
    try {
        InstalledProbe::installed("/nonexistent/brew", brew, true, runner);
        ADD_FAILURE() << "expected a launch failure";
    } catch (const CommandError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not launch /nonexistent/brew.");
    }
}

} // namespace
} // namespace cairnmoor
