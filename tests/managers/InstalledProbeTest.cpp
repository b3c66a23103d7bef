#include "managers/InstalledProbe.hpp"

#include "managers/ArgumentSpace.hpp"
#include "managers/PackageManagerError.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace cairnmoor {
namespace {

using Lines = std::vector<std::string>;
const PackageManager brew = PackageManager::homebrew;
const PackageManager port = PackageManager::macports;

// The names found joined by spaces, or the failure's text.
std::string outcome(const std::function<std::set<std::string>()>& probe) {
    try {
        std::string names;
        for (const std::string& name : probe()) {
            names += (names.empty() ? "" : " ") + name;
        }
        return names;
    } catch (const PackageManagerError& error) {
        EXPECT_EQ(error.kind(), PackageManagerError::Kind::commandFailed);
        return error.what();
    }
}

struct ParseCase {
    const char* name;
    PackageManager manager;
    Lines lines;
    std::string outcome;
    friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }
};

class InventoryParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(InventoryParse, AcceptsOnlyTheExpectedShape) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(outcome([&] { return InstalledProbe::parse(c.lines, c.manager); }), c.outcome);
}

const std::string brewFails = "Unexpected Homebrew inventory output: ";
const std::string portFails = "Unexpected MacPorts inventory output: ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, InventoryParse, ::testing::Values(
    ParseCase{"HomebrewTrimmedAndDeduplicated", brew,
              {"  firefox  ", "wget\r", "firefox", "\t", "", "user/tap/tool", "\u00a0node\u2028"},
              "firefox node user/tap/tool wget"},
    ParseCase{"HomebrewHeading", brew, {"wget", "==> Casks"}, brewFails + "==> Casks"},
    ParseCase{"HomebrewInnerSpace", brew, {" two words "}, brewFails + "two words"},
    ParseCase{"MacPortsNothingInstalled", port, {"No ports are installed.", "", "None of the specified ports are installed."}, ""},
    // The port name is taken as printed; only the shape of the line is checked.
    ParseCase{"MacPortsWithVariants", port,
              {"  wget @1.21.3_0+ssl (active)", "py312 @3.12.1_0 +lto\t+opt (active)", "odd/name @1 (active)"},
              "odd/name py312 wget"},
    ParseCase{"MacPortsNotActive", port, {"wget @1.21.3_0"}, portFails + "wget @1.21.3_0"},
    ParseCase{"MacPortsTwoFields", port, {"wget @1.0(active)"}, portFails + "wget @1.0(active)"},
    ParseCase{"MacPortsVersionWithoutAt", port, {"wget 1.0 (active)"}, portFails + "wget 1.0 (active)"},
    ParseCase{"MacPortsMessageNotExact", port, {"No ports are installed"}, portFails + "No ports are installed"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

struct ProbeCase {
    const char* name;
    PackageManager manager;
    std::pair<const char*, const char*> knob; // of the fake manager
    std::string outcome;
    Lines logged = {};
    double timeout = 30; // short only where the limit is the point: a loaded machine is slow
    friend void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }
};

class ProbeRun : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeRun, ReadsStandardOutputAndShowsStandardError) {
    const ProbeCase& c = GetParam();
    testing::TempDir state;
    state.write("casks/firefox", "");
    ::setenv("CAIRNMOOR_FAKE_STATE", state.path().c_str(), 1);
    ::setenv(c.knob.first, c.knob.second, 1);
    const std::string fake =
        std::string(CAIRNMOOR_FAKES_DIR) + "/" + std::string(c.manager.executableName());
    ProcessRunner runner;
    Lines logged;
    EXPECT_EQ(outcome([&] {
                  return InstalledProbe::installed(
                      fake, c.manager, true, runner,
                      [&](const std::string& line) { logged.push_back(line); }, c.timeout);
              }),
              c.outcome);
    ::unsetenv(c.knob.first);
    ::unsetenv("CAIRNMOOR_FAKE_STATE");
    EXPECT_EQ(logged, c.logged);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fakes, ProbeRun, ::testing::Values(
    ProbeCase{"WarningIsNoInventory", brew, {"CAIRNMOOR_FAKE_LIST_WARNING", "Warning: taps untrusted"},
              "firefox", {"Warning: taps untrusted"}},
    // A line that is not UTF-8 fails the probe, shown, rather than going missing.
    ProbeCase{"BytesThatAreNotText", brew, {"CAIRNMOOR_FAKE_LIST_GARBAGE", "caf\\351"}, brewFails + "caf\uFFFD"},
    ProbeCase{"Fails", port, {"CAIRNMOOR_FAKE_LIST_FAIL", "3"},
              "MacPorts installed-package probe failed (status 3, timeout: false, cancelled: false).",
              {"Error: registry unavailable"}},
    ProbeCase{"Hangs", brew, {"CAIRNMOOR_FAKE_HANG", "@list"},
              "Homebrew installed-package probe failed (status 15, timeout: true, cancelled: false).", {}, 0.5}),
    [](const auto& info) { return info.param.name; });
// clang-format on

// Names go in order, as many to a command as fit after its fixed arguments, at least one each;
// and a command filled to what the system leaves really starts.
TEST(ArgumentSpace, SplitsNamesIntoCommandsThatStart) {
    using Runs = std::vector<Lines>;
    const Lines fixed{"/bin/true", "info"};
    const std::size_t base =
        sizeof(char*) + ArgumentSpace::cost("/bin/true") + ArgumentSpace::cost("info");
    const std::size_t ab = base + ArgumentSpace::cost("a") + ArgumentSpace::cost("bb");
    EXPECT_EQ(ArgumentSpace::split(fixed, {"a", "bb", "c"}, ab), (Runs{{"a", "bb"}, {"c"}}));
    EXPECT_EQ(ArgumentSpace::split(fixed, {"bb", "a", "c"}, ab - 1), (Runs{{"bb"}, {"a", "c"}}));
    EXPECT_EQ(ArgumentSpace::split(fixed, {"a", "bb"}, 0), (Runs{{"a"}, {"bb"}}));

    const std::size_t space = ArgumentSpace::available({});
    Lines names;
    for (std::size_t used = base; used <= space; used += ArgumentSpace::cost(names.back())) {
        names.push_back(std::string(200, 'n') + std::to_string(names.size()));
    }
    Runs runs = ArgumentSpace::split(fixed, names, space);
    ASSERT_EQ(runs.size(), 2U);
    runs[0].insert(runs[0].begin(), "info");
    ProcessRunner runner;
    EXPECT_TRUE(runner.run("/bin/true", runs[0], 30).succeeded());
}

} // namespace
} // namespace cairnmoor
