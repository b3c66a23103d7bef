#include "EngineFixture.hpp"
#include "support/OpenApp.hpp"

namespace cairnmoor {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;

std::string golden(const char* name) {
    return testing::readFile(std::filesystem::path(CAIRNMOOR_SOURCE_DIR) / "tests/install/golden" /
                             name);
}

TEST_F(Engine, InstallsEachEntryWithItsCommandLineAndOutputInOrder) {
    InstallOptions opts = options();
    opts.runUpdateFirst = true;
    const auto results = run({alpha, beta}, opts);
    EXPECT_EQ(results, (std::vector{PackageResult{alpha, PackageState::installed()},
                                    PackageResult{beta, PackageState::installed()}}));
    EXPECT_EQ(invocations(), "brew update\nbrew list --cask\nbrew list --formula\n"
                             "brew info --json=v2 --cask alpha\n"
                             "brew install --cask alpha\nbrew install beta\n"
                             "brew cleanup alpha beta\n");
    EXPECT_EQ(recorder_.joined(), golden("engine-run.events"));
}

// What the plan decides is tested on its own; here, that the engine runs what it decided,
// leaves the rest alone without a command line, and takes only the inventories it needs.
TEST_F(Engine, RunsThePlanAndTakesOnlyTheInventoriesItNeeds) {
    install("casks/alpha");
    install("casks/same");
    InstallOptions opts = options();
    opts.upgradeIfPresent = false;
    const auto results = run({alpha, gamma, app("f", "Same Formula", "same", "formula")}, opts);
    EXPECT_THAT(statesOf(results),
                ElementsAre(PackageState::alreadyPresent(), PackageState::installed(),
                            PackageState::installed()));
    EXPECT_EQ(recorder_.events().front(), "progress alpha alreadyPresent");
    EXPECT_EQ(invocations(),
              "brew list --cask\nbrew list --formula\nbrew info --json=v2 --cask gamma\n"
              "brew install --cask gamma\nbrew install same\nbrew cleanup gamma same\n");
    // A MacPorts run takes its one inventory once.
    InstallEngine().run({beta}, options(port), fake(port), {});
    EXPECT_THAT(invocations(), EndsWith("brew cleanup gamma same\nport -q installed active\n"
                                        "port -N install beta\n"));
}

struct RunWideCase {
    const char* name;
    PackageManager manager;
    std::vector<AppEntry> apps;
    std::int64_t timeoutSeconds;
    std::pair<const char*, const char*> knob;
    std::vector<std::string> log; // the last line is every entry's failure text
    const char* invocations;      // everything the fake was asked to do
    const char* path = nullptr;   // none: the fake
    friend void PrintTo(const RunWideCase& c, std::ostream* os) { *os << c.name; }
};

class RunWide : public Engine, public ::testing::WithParamInterface<RunWideCase> {};

TEST_P(RunWide, FailsEveryEntryWithTheTextLoggedOnce) {
    const RunWideCase& c = GetParam();
    ::setenv(c.knob.first, c.knob.second, 1);
    InstallOptions opts = options(c.manager);
    opts.timeoutSeconds = c.timeoutSeconds;
    opts.runUpdateFirst = true;
    const auto results =
        run(c.apps, opts, c.path ? std::optional<std::string>(c.path) : std::nullopt);
    // The log lines, then each entry's final state; nothing reported as installing.
    std::string expected;
    for (const std::string& line : c.log) {
        expected += "log " + line + "\n";
    }
    for (std::size_t i = 0; i < c.apps.size(); ++i) {
        EXPECT_EQ(results.at(i), (PackageResult{c.apps[i], PackageState::failed(c.log.back())}));
        expected += "progress " + c.apps[i].id + " failed: " + c.log.back() + "\n";
    }
    EXPECT_EQ(recorder_.joined(), expected);
    EXPECT_EQ(invocations(), c.invocations);
}

const AppEntry withoutPort = app("noport", "No Port", "noport", "formula");
const std::pair<const char*, const char*> none{"CAIRNMOOR_FAKE_NONE", ""};
// clang-format off
INSTANTIATE_TEST_SUITE_P(Failures, RunWide, ::testing::Values(
    RunWideCase{"EmptySelection", brew, {}, 30, none, {"No apps selected."}, ""},
    RunWideCase{"UnmappedUnderMacPorts", port, {alpha, withoutPort, beta}, 30, none,
                {"No MacPorts mapping for: No Port. Choose another manager or remove these apps."}, ""},
    RunWideCase{"ZeroTimeout", brew, {alpha, beta}, 0, none, {"Timeout must be positive."}, ""},
    RunWideCase{"NegativeTimeout", port, {alpha}, -5, none, {"Timeout must be positive."}, ""},
    RunWideCase{"UpdateCannotLaunch", brew, {alpha, beta}, 30, none,
                {"$ brew update", "Could not launch /nonexistent/bin/brew."}, "", "/nonexistent/bin/brew"},
    RunWideCase{"UpdateFails", brew, {alpha, beta}, 30, {"CAIRNMOOR_FAKE_UPDATE_FAIL", "1"},
                {"$ brew update", "Error: Failed to update the package index",
                 "Homebrew update failed; no packages were installed."}, "brew update\n"},
    RunWideCase{"UpdateTimesOut", port, {alpha}, 1, {"CAIRNMOOR_FAKE_HANG", "@update"},
                {"$ port -N selfupdate", "--->  Fetching @update", "MacPorts update failed; no packages were installed."},
                "port -N selfupdate\n"},
    // The probe's inventory never reaches the log; what it says on stderr does.
    RunWideCase{"InventoryFails", brew, {alpha, beta}, 30, {"CAIRNMOOR_FAKE_LIST_FAIL", "3"},
                {"$ brew update", "==> Updating the package index", "Already up-to-date.",
                 "Error: could not read the list of installed packages",
                 "Homebrew installed-package probe failed (status 3, timeout: false, cancelled: false)."},
                "brew update\nbrew list --cask\n"},
    RunWideCase{"InventoryUnexpected", port, {alpha}, 30, {"CAIRNMOOR_FAKE_LIST_GARBAGE", "Error: registry locked"},
                {"$ port -N selfupdate", "--->  Updating MacPorts base sources", "--->  Updating the ports tree",
                 "The ports tree has been updated.", "Unexpected MacPorts inventory output: Error: registry locked"},
                "port -N selfupdate\nport -q installed active\n"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

struct PackageFailureCase {
    const char* name;
    PackageManager manager;
    std::pair<const char*, const char*> knob;
    std::int64_t timeoutSeconds;
    std::string message;
    const char* path = nullptr; // none: the fake
    friend void PrintTo(const PackageFailureCase& c, std::ostream* os) { *os << c.name; }
};

class PackageFailure : public Engine, public ::testing::WithParamInterface<PackageFailureCase> {};

TEST_P(PackageFailure, FailsThatEntryOnlyAndKeepsTheTextOutOfTheLog) {
    const PackageFailureCase& c = GetParam();
    ::setenv(c.knob.first, c.knob.second, 1);
    InstallOptions opts = options(c.manager);
    opts.timeoutSeconds = c.timeoutSeconds;
    opts.skipInstalled = opts.upgradeIfPresent = c.path == nullptr;
    const auto results =
        run({alpha, beta}, opts, c.path ? std::optional<std::string>(c.path) : std::nullopt);
    const auto events = recorder_.events();
    EXPECT_EQ(statesOf(results).at(0), PackageState::failed(c.message));
    EXPECT_EQ(statesOf(results).at(1),
              c.path ? PackageState::failed(c.message) : PackageState::installed());
    // Only a launch failure is also a log line, right after the command line.
    EXPECT_EQ(std::count(events.begin(), events.end(), "log " + c.message), c.path ? 2 : 0);
    EXPECT_EQ(events.front(), "progress alpha installing");
    EXPECT_THAT(events, ::testing::Contains("progress alpha failed: " + c.message));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Failures, PackageFailure, ::testing::Values(
    PackageFailureCase{"HomebrewExitStatus", brew, {"CAIRNMOOR_FAKE_FAIL", "alpha:7"}, 30, "brew exited with status 7"},
    PackageFailureCase{"MacPortsExitStatus", port, {"CAIRNMOOR_FAKE_FAIL", "alpha"}, 30, "port exited with status 1"},
    PackageFailureCase{"HomebrewTimeout", brew, {"CAIRNMOOR_FAKE_HANG", "alpha"}, 1, "Homebrew command timed out"},
    PackageFailureCase{"MacPortsTimeoutIgnoringSigterm", port, {"CAIRNMOOR_FAKE_IGNORE_TERM", "alpha"}, 1, "MacPorts command timed out"},
    PackageFailureCase{"CannotLaunch", brew, none, 30, "Could not launch /nonexistent/bin/brew.", "/nonexistent/bin/brew"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

struct CancelCase {
    const char* name;
    const char* hang;
    const char* cancelAfter; // a "log ..." event or a recorded command line; none: before the run
    std::vector<PackageState> states;
    const char* invocations;
    std::string events; // or the golden file that holds them
    friend void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }
};

class Cancel : public Engine, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(Cancel, SkipsEveryEntryNotFinishedAndStopsForGood) {
    const CancelCase& c = GetParam();
    ::setenv("CAIRNMOOR_FAKE_HANG", c.hang, 1);
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
    opts.runUpdateFirst = std::string_view(c.hang) == "@update";
    const auto results = run({alpha, beta, gamma}, opts);
    canceller.join();
    EXPECT_EQ(statesOf(results), c.states);
    EXPECT_EQ(invocations(), c.invocations);
    EXPECT_EQ(recorder_.joined(),
              c.events.ends_with(".events") ? golden(c.events.c_str()) : c.events);
    // A later run of the same engine skips everything.
    EXPECT_THAT(statesOf(engine_.run({alpha}, options(), fake(brew), {})),
                ElementsAre(PackageState::skipped()));
}

const PackageState skipped = PackageState::skipped();
const std::string allSkipped =
    "progress alpha skipped\nprogress beta skipped\nprogress gamma skipped\n";
// clang-format off
INSTANTIATE_TEST_SUITE_P(Phases, Cancel, ::testing::Values(
    CancelCase{"BeforeTheRun", "", nullptr, {skipped, skipped, skipped}, "", allSkipped},
    CancelCase{"DuringTheUpdate", "@update", "log ==> Downloading @update", {skipped, skipped, skipped}, "brew update\n",
               "log $ brew update\nlog ==> Downloading @update\nlog Homebrew update failed; no packages were installed.\n" + allSkipped},
    CancelCase{"DuringTheInventory", "@list", "brew list --cask", {skipped, skipped, skipped}, "brew list --cask\n",
               "log Homebrew installed-package probe failed (status 15, timeout: false, cancelled: true).\n" + allSkipped},
    // The first package stays installed; the third never starts.
    CancelCase{"DuringTheSecondOfThreePackages", "beta", "log ==> Downloading beta", {PackageState::installed(), skipped, skipped},
               "brew list --cask\nbrew list --formula\nbrew info --json=v2 --cask alpha gamma\nbrew install --cask alpha\n"
               "brew install beta\n", "cancel-during-second-package.events"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

struct OpenAppCase {
    const char* name;
    RunningAppPolicy policy;
    bool ignoresQuit;
    PackageState alpha;
    const char* said;     // the log line about the open app
    const char* commands; // after the survey
    bool cleanupFails = false;
    friend void PrintTo(const OpenAppCase& c, std::ostream* os) { *os << c.name; }
};

class OpenApps : public Engine, public ::testing::WithParamInterface<OpenAppCase> {};

// An installed cask to upgrade whose app is open (a real process running from its bundle in
// ~/Applications): the plan says so, and the package is left alone unless the app quits
// when asked. Homebrew's own cleanup is once, at the end, for what was installed.
TEST_P(OpenApps, AreNeverChangedWithoutHavingQuit) {
    const OpenAppCase& c = GetParam();
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::setenv("HOME", state_.path().c_str(), 1);
    install("casks/alpha");
    testing::OpenApp open(state_ / "Applications/Alpha.app", c.ignoresQuit);
    InstallOptions opts = options();
    opts.runningApps = c.policy;
    engine_.setQuitTimeLimit(300ms);
    if (c.cleanupFails) {
        ::setenv("CAIRNMOOR_FAKE_FAIL", "@cleanup", 1);
    }
    std::vector<std::string> planned;
    const auto results = engine_.run(
        {alpha, beta}, opts, fake(brew),
        {recorder_.progress(), recorder_.log(),
         [&](const std::vector<PlannedEntry>& plan) { planned = plan.at(0).runningApps; }});
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_THAT(planned, ElementsAre((state_ / "Applications/Alpha.app").string()));
    EXPECT_THAT(statesOf(results), ElementsAre(c.alpha, PackageState::installed()));
    EXPECT_THAT(recorder_.events(), ::testing::Contains(std::string("log ") + c.said));
    EXPECT_EQ(invocations(), std::string("brew list --cask\nbrew list --formula\n"
                                         "brew info --json=v2 --cask alpha\n") +
                                 c.commands);
    EXPECT_EQ(open.running(), c.alpha != PackageState::installed());
    // The cleanup's failure is a log line, nothing more.
    const std::string commands = c.commands;
    const std::string cleanup = commands.substr(commands.rfind("brew cleanup"));
    EXPECT_EQ(recorder_.events().back(),
              c.cleanupFails ? "log The cleanup did not finish (brew exited with status 1); the "
                               "packages are installed all the same."
                             : "log $ " + cleanup.substr(0, cleanup.size() - 1));
}

const PackageState leftAlone = PackageState::skippedRunning("Alpha.app");
// clang-format off
INSTANTIATE_TEST_SUITE_P(Policies, OpenApps, ::testing::Values(
    OpenAppCase{"Skipped", RunningAppPolicy::skip, false, leftAlone, "Alpha.app is open, so Alpha was left alone.",
                "brew install beta\nbrew cleanup beta\n"},
    OpenAppCase{"QuitWhenAsked", RunningAppPolicy::quit, false, PackageState::installed(),
                "Asking Alpha.app to quit before Alpha is changed.",
                "brew upgrade --cask alpha\nbrew install beta\nbrew cleanup alpha beta\n"},
    OpenAppCase{"DidNotQuit", RunningAppPolicy::quit, true, leftAlone, "Alpha.app is open, so Alpha was left alone.",
                "brew install beta\nbrew cleanup beta\n", true}),
    [](const auto& info) { return info.param.name; });
// clang-format on

} // namespace
} // namespace cairnmoor
