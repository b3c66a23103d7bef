#include "EngineFixture.hpp"

#include <ostream>

namespace cairnmoor {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

// --- A run that goes through -------------------------------------------------------------

TEST_F(Engine, InstallsEachEntryWithItsCommandLineAndOutputInOrder) {
    InstallOptions opts = options();
    opts.runUpdateFirst = true;
    const auto results = run({alpha, beta}, opts);

    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0], (PackageResult{alpha, PackageState::installed()}));
    EXPECT_EQ(results[1], (PackageResult{beta, PackageState::installed()}));
    EXPECT_EQ(invocations(), "brew update\nbrew list --cask\nbrew list --formula\n"
                             "brew info --json=v2 --cask alpha\n"
                             "brew install --cask alpha\nbrew install beta\n");
    EXPECT_THAT(
        recorder_.events(),
        ElementsAre(
            "log $ brew update", "log ==> Updating the package index", "log Already up-to-date.",
            "progress alpha installing", "log $ brew install --cask alpha",
            "log ==> Downloading https://downloads.example.invalid/alpha-1.0.0.tar.gz",
            "log ==> Fetching alpha", "log Warning: alpha comes from a fake repository",
            "log ==> Installing Cask alpha", "log ==> Summary: alpha 1.0.0 installed",
            "progress alpha installed", "progress beta installing", "log $ brew install beta",
            "log ==> Downloading https://downloads.example.invalid/beta-1.0.0.tar.gz",
            "log ==> Fetching beta", "log Warning: beta comes from a fake repository",
            "log ==> Installing formula beta", "log ==> Summary: beta 1.0.0 installed",
            "progress beta installed"));
}

// What the plan decides is tested on its own; here, that the engine runs what it decided
// and leaves the rest alone without a command line.
TEST_F(Engine, RunsThePlan) {
    install("casks/alpha");
    install("formulae/beta");
    InstallOptions opts = options();
    opts.upgradeIfPresent = false;
    const auto results = run({alpha, beta, gamma}, opts);
    EXPECT_THAT(statesOf(results),
                ElementsAre(PackageState::alreadyPresent(), PackageState::alreadyPresent(),
                            PackageState::installed()));
    EXPECT_EQ(invocations(), "brew list --cask\nbrew list --formula\n"
                             "brew info --json=v2 --cask gamma\nbrew install --cask gamma\n");
    EXPECT_EQ(recorder_.events().front(), "progress alpha alreadyPresent");
    opts.skipInstalled = false;
    InstallEngine second;
    second.run({alpha}, opts, fake(brew), std::nullopt, std::nullopt, {}, {});
    EXPECT_THAT(invocations(), ::testing::EndsWith("brew install --cask gamma\n"
                                                   "brew install --cask alpha\n"));
}

TEST_F(Engine, CaskAndFormulaOfTheSameNameAreLookedUpInTheirOwnInventory) {
    install("casks/same");
    InstallOptions opts = options();
    opts.upgradeIfPresent = false;
    const auto results = run(
        {app("c", "Same Cask", "same", "cask"), app("f", "Same Formula", "same", "formula")}, opts);
    EXPECT_THAT(statesOf(results),
                ElementsAre(PackageState::alreadyPresent(), PackageState::installed()));
    EXPECT_EQ(invocations(), "brew list --cask\nbrew list --formula\nbrew install same\n");
    // A MacPorts run takes its one inventory once.
    InstallEngine ports;
    ports.run({beta}, options(port), fake(port), std::nullopt, std::nullopt, {}, {});
    EXPECT_THAT(invocations(),
                ::testing::EndsWith("brew install same\n"
                                    "port -q installed active\nport -N install beta\n"));
}

TEST_F(Engine, GivenInventoriesAreUsedAndNotTaken) {
    InstallOptions opts = options();
    opts.upgradeIfPresent = false;
    // The older form: both given, nothing probed; "alpha" counts as present though the
    // fake does not have it.
    const auto results =
        engine_.run({alpha, beta}, opts, fake(brew), std::set<std::string>{"alpha"},
                    std::set<std::string>{}, recorder_.progress(), recorder_.log());
    EXPECT_THAT(statesOf(results),
                ElementsAre(PackageState::alreadyPresent(), PackageState::installed()));
    EXPECT_EQ(invocations(), "brew install beta\n");

    // Only the casks given: the formula inventory is still taken.
    InstallEngine second;
    second.run({beta}, opts, fake(brew), std::set<std::string>{}, std::nullopt, {}, {});
    EXPECT_EQ(invocations(), "brew install beta\nbrew list --formula\n");
}

// --- Run-wide failures -------------------------------------------------------------------

struct RunWideCase {
    const char* name;
    PackageManager manager;
    std::vector<AppEntry> apps;
    std::int64_t timeoutSeconds;
    bool runUpdateFirst;
    std::vector<std::pair<const char*, const char*>> knobs;
    std::vector<std::string> log; // the last line is every entry's failure text
    const char* invocations;      // everything the fake was asked to do
    const char* path = nullptr;   // none: the fake
};

// Test names show the case, not its bytes.
void PrintTo(const RunWideCase& c, std::ostream* os) {
    *os << c.name;
}

class RunWide : public Engine, public ::testing::WithParamInterface<RunWideCase> {};

TEST_P(RunWide, FailsEveryEntryWithTheTextLoggedOnce) {
    const RunWideCase& c = GetParam();
    for (const auto& [knob, value] : c.knobs) {
        ::setenv(knob, value, 1);
    }
    InstallOptions opts = options(c.manager);
    opts.timeoutSeconds = c.timeoutSeconds;
    opts.runUpdateFirst = c.runUpdateFirst;
    const auto results =
        run(c.apps, opts, c.path ? std::optional<std::string>(c.path) : std::nullopt);
    const std::string& message = c.log.back();

    // The log lines, then each entry's final state; nothing reported as installing.
    std::vector<std::string> expected;
    for (const std::string& line : c.log) {
        expected.push_back("log " + line);
    }
    ASSERT_EQ(results.size(), c.apps.size());
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i], (PackageResult{c.apps[i], PackageState::failed(message)}));
        expected.push_back("progress " + c.apps[i].id + " failed: " + message);
    }
    EXPECT_THAT(recorder_.events(), ElementsAreArray(expected));
    EXPECT_EQ(invocations(), c.invocations);
}

const AppEntry withoutPort = app("noport", "No Port", "noport", "formula");
INSTANTIATE_TEST_SUITE_P(
    Failures, RunWide,
    ::testing::Values(
        RunWideCase{"EmptySelection", brew, {}, 30, true, {}, {"No apps selected."}, ""},
        RunWideCase{
            "UnmappedUnderMacPorts",
            port,
            {alpha, withoutPort, beta},
            30,
            true,
            {},
            {"No MacPorts mapping for: No Port. Choose another manager or remove these apps."},
            ""},
        RunWideCase{
            "ZeroTimeout", brew, {alpha, beta}, 0, true, {}, {"Timeout must be positive."}, ""},
        RunWideCase{
            "NegativeTimeout", port, {alpha}, -5, false, {}, {"Timeout must be positive."}, ""},
        RunWideCase{"UpdateCannotLaunch",
                    brew,
                    {alpha, beta},
                    30,
                    true,
                    {},
                    {"$ brew update", "Could not launch /nonexistent/bin/brew."},
                    "",
                    "/nonexistent/bin/brew"},
        RunWideCase{"UpdateFails",
                    brew,
                    {alpha, beta},
                    30,
                    true,
                    {{"CAIRNMOOR_FAKE_UPDATE_FAIL", "1"}},
                    {"$ brew update", "Error: Failed to update the package index",
                     "Homebrew update failed; no packages were installed."},
                    "brew update\n"},
        RunWideCase{"UpdateTimesOut",
                    port,
                    {alpha},
                    1,
                    true,
                    {{"CAIRNMOOR_FAKE_HANG", "@update"}},
                    {"$ port -N selfupdate", "--->  Fetching @update",
                     "MacPorts update failed; no packages were installed."},
                    "port -N selfupdate\n"},
        // The probe's inventory never reaches the log; what it says on stderr does.
        RunWideCase{"InventoryFails",
                    brew,
                    {alpha, beta},
                    30,
                    false,
                    {{"CAIRNMOOR_FAKE_LIST_FAIL", "3"}},
                    {"Error: could not read the list of installed packages",
                     "Homebrew installed-package probe failed (status 3, timeout: false, "
                     "cancelled: false)."},
                    "brew list --cask\n"},
        RunWideCase{"InventoryUnexpected",
                    port,
                    {alpha},
                    30,
                    false,
                    {{"CAIRNMOOR_FAKE_LIST_GARBAGE", "Error: registry locked"}},
                    {"Unexpected MacPorts inventory output: Error: registry locked"},
                    "port -q installed active\n"}),
    [](const auto& info) { return info.param.name; });

// --- Failures of single packages ---------------------------------------------------------

struct PackageFailureCase {
    const char* name;
    PackageManager manager;
    const char* knob;
    const char* value;
    std::int64_t timeoutSeconds;
    std::string message;
};

// Test names show the case, not its bytes.
void PrintTo(const PackageFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class PackageFailure : public Engine, public ::testing::WithParamInterface<PackageFailureCase> {};

TEST_P(PackageFailure, FailsThatEntryOnlyAndKeepsTheTextOutOfTheLog) {
    const PackageFailureCase& c = GetParam();
    ::setenv(c.knob, c.value, 1);
    InstallOptions opts = options(c.manager);
    opts.timeoutSeconds = c.timeoutSeconds;
    const auto results = run({alpha, beta}, opts);
    EXPECT_THAT(statesOf(results),
                ElementsAre(PackageState::failed(c.message), PackageState::installed()));
    const auto events = recorder_.events();
    EXPECT_THAT(events, Not(::testing::Contains("log " + c.message)));
    EXPECT_EQ(events.front(), "progress alpha installing");
    EXPECT_THAT(events, ::testing::Contains("progress alpha failed: " + c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PackageFailure,
    ::testing::Values(PackageFailureCase{"HomebrewExitStatus", brew, "CAIRNMOOR_FAKE_FAIL",
                                         "alpha:7", 30, "brew exited with status 7"},
                      PackageFailureCase{"MacPortsExitStatus", port, "CAIRNMOOR_FAKE_FAIL", "alpha",
                                         30, "port exited with status 1"},
                      PackageFailureCase{"HomebrewTimeout", brew, "CAIRNMOOR_FAKE_HANG", "alpha", 1,
                                         "Homebrew command timed out"},
                      PackageFailureCase{"MacPortsTimeoutIgnoringSigterm", port,
                                         "CAIRNMOOR_FAKE_IGNORE_TERM", "alpha", 1,
                                         "MacPorts command timed out"}),
    [](const auto& info) { return info.param.name; });

TEST_F(Engine, PackageThatCannotLaunchIsFailedAndLoggedAndTheRunGoesOn) {
    InstallOptions opts = options();
    opts.skipInstalled = false;
    opts.upgradeIfPresent = false;
    const auto results = run({alpha, beta}, opts, "/nonexistent/bin/brew");
    const std::string text = "Could not launch /nonexistent/bin/brew.";
    EXPECT_THAT(statesOf(results),
                ElementsAre(PackageState::failed(text), PackageState::failed(text)));
    EXPECT_THAT(recorder_.events(),
                ElementsAre("progress alpha installing", "log $ brew install --cask alpha",
                            "log " + text, "progress alpha failed: " + text,
                            "progress beta installing", "log $ brew install beta", "log " + text,
                            "progress beta failed: " + text));
}

// --- Cancellation ------------------------------------------------------------------------

struct CancelCase {
    const char* name;
    const char* hang;
    bool runUpdateFirst;
    const char* cancelAfter; // a "log ..." event or a recorded command line; none: before the run
    std::vector<PackageState> states;
    const char* invocations;
    std::vector<std::string> events;
};

// Test names show the case, not its bytes.
void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name;
}

class Cancel : public Engine, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(Cancel, SkipsEveryEntryNotFinishedAndStopsForGood) {
    const CancelCase& c = GetParam();
    if (c.hang) {
        ::setenv("CAIRNMOOR_FAKE_HANG", c.hang, 1);
    }
    if (!c.cancelAfter) {
        engine_.cancel();
    }
    std::thread canceller([&] {
        if (c.cancelAfter && (std::string_view(c.cancelAfter).starts_with("log ")
                                  ? recorder_.waitFor(c.cancelAfter)
                                  : waitForInvocation(c.cancelAfter))) {
            engine_.cancel();
        }
    });
    InstallOptions opts = options();
    opts.runUpdateFirst = c.runUpdateFirst;
    const auto start = std::chrono::steady_clock::now();
    const auto results = run({alpha, beta, gamma}, opts);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_THAT(statesOf(results), ElementsAreArray(c.states));
    EXPECT_EQ(invocations(), c.invocations);
    EXPECT_THAT(recorder_.events(), ElementsAreArray(c.events));

    // A later run of the same engine skips everything.
    Recorder later;
    const auto again = engine_.run({alpha}, options(), fake(brew), std::nullopt, std::nullopt,
                                   later.progress(), later.log());
    EXPECT_THAT(statesOf(again), ElementsAre(PackageState::skipped()));
}

const PackageState skipped = PackageState::skipped();

INSTANTIATE_TEST_SUITE_P(
    Phases, Cancel,
    ::testing::Values(
        CancelCase{"BeforeTheRun",
                   nullptr,
                   true,
                   nullptr,
                   {skipped, skipped, skipped},
                   "",
                   {"progress alpha skipped", "progress beta skipped", "progress gamma skipped"}},
        CancelCase{"DuringTheUpdate",
                   "@update",
                   true,
                   "log ==> Downloading @update",
                   {skipped, skipped, skipped},
                   "brew update\n",
                   {"log $ brew update", "log ==> Downloading @update",
                    "log Homebrew update failed; no packages were installed.",
                    "progress alpha skipped", "progress beta skipped", "progress gamma skipped"}},
        CancelCase{"DuringTheInventory",
                   "@list",
                   false,
                   "brew list --cask",
                   {skipped, skipped, skipped},
                   "brew list --cask\n",
                   {"log Homebrew installed-package probe failed (status 15, timeout: false, "
                    "cancelled: true).",
                    "progress alpha skipped", "progress beta skipped", "progress gamma skipped"}},
        // The first package stays installed; the third never starts.
        CancelCase{"DuringTheSecondOfThreePackages",
                   "beta",
                   false,
                   "log ==> Downloading beta",
                   {PackageState::installed(), skipped, skipped},
                   "brew list --cask\nbrew list --formula\n"
                   "brew info --json=v2 --cask alpha gamma\nbrew install --cask alpha\n"
                   "brew install beta\n",
                   {"progress alpha installing", "log $ brew install --cask alpha",
                    "log ==> Downloading https://downloads.example.invalid/alpha-1.0.0.tar.gz",
                    "log ==> Fetching alpha", "log Warning: alpha comes from a fake repository",
                    "log ==> Installing Cask alpha", "log ==> Summary: alpha 1.0.0 installed",
                    "progress alpha installed", "progress beta installing",
                    "log $ brew install beta", "log ==> Downloading beta", "progress beta skipped",
                    "progress gamma skipped"}}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace cairnmoor
