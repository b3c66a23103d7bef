#include "EngineFixture.hpp"
#include "install/FetchPlan.hpp"
#include "managers/FetchOutput.hpp"
#include "support/StubFileManager.hpp"

#include <sstream>

namespace cairnmoor {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(FetchPlan, FetchesWhatRunsACommandOnceByKindOnlyForHomebrewWithTheOption) {
    using enum PlannedAction;
    const auto entry = [](const std::string& package, const char* type, PlannedAction action) {
        return PlannedEntry{app(package, package, package, type), action, package, std::nullopt};
    };
    const std::vector<PlannedEntry> mixed{
        entry("alpha", "cask", install),          entry("beta", "formula", upgrade),
        entry("gamma", "cask", alreadyInstalled), entry("user/tap/delta", "cask", adopt),
        entry("alpha", "cask", replace),          entry("epsilon", "formula", notInstallable),
        entry("zeta", "cask", installedOutside)};
    EXPECT_EQ(FetchPlan::make(mixed, {}),
              (std::vector<FetchCommand>{{true, {"alpha", "user/tap/delta"}, 900},
                                         {false, {"beta"}, 900}}));
    EXPECT_EQ(FetchPlan::make({mixed[1]}, {}), (std::vector<FetchCommand>{{false, {"beta"}, 900}}));
    EXPECT_TRUE(FetchPlan::make({mixed[2], mixed[5], mixed[6]}, {}).empty());
    EXPECT_TRUE(FetchPlan::make(mixed, {.packageManager = port}).empty());
    EXPECT_TRUE(FetchPlan::make(mixed, {.prefetch = false}).empty());
}

TEST(FetchOutput, ReadsOnlyLinesThatNameAFetchedPackage) {
    using Kind = FetchNews::Kind;
    const std::pair<const char*, std::optional<FetchNews>> cases[] = {
        {"==> Fetching downloads for: openssl@3, firefox, wget and thing",
         FetchNews{Kind::started, {"firefox", "wget", "user/tap/thing"}}},
        {"==> Fetching wget", FetchNews{Kind::startedAlone, {"wget"}}},
        {"✔︎ Cask firefox (139.0.4)   Downloaded  85.1MB/ 85.1MB",
         FetchNews{Kind::finished, {"firefox"}}},
        {"✘ Bottle wget (1.25.0)", FetchNews{Kind::finished, {"wget"}}},
        {"\x1b[32m✔\x1b[0m Formula thing (2.0)", FetchNews{Kind::finished, {"user/tap/thing"}}},
        {"✔︎ Bottle Manifest wget (1.25.0)", std::nullopt},
        {"✔︎ Cask firefox@developer-edition (140.0b1)", std::nullopt},
        {"==> Downloading https://ghcr.io/v2/homebrew/core/wget/blobs/sha256:4d2f", std::nullopt},
    };
    for (const auto& [line, news] : cases) {
        EXPECT_EQ(FetchOutput::read(line, {"firefox", "wget", "user/tap/thing"}), news) << line;
    }
}

// With Homebrew's quiet environment for every child after the one update; the front end's own
// variables win.
TEST_F(Engine, PrefetchDownloadsEachKindOnceBeforeTheInstallsAndNothingWhenOff) {
    ::unsetenv("HOMEBREW_NO_AUTO_UPDATE");
    InstallEngine engine(
        ProcessRunner::Settings{.shareTerminal = false,
                                .environment = {{"HOMEBREW_NO_ENV_HINTS", "front"}},
                                .account = {},
                                .executable = {}});
    InstallOptions opts = options(brew, true);
    opts.runUpdateFirst = true;
    engine.run({alpha, beta, gamma}, opts, fake(brew), {recorder_.progress(), {}, {}});
    // Each row downloading while its fetch names it, then the installs as before.
    const std::vector<std::string> events = recorder_.events();
    EXPECT_THAT(std::vector(events.begin(), events.begin() + 7),
                ElementsAre("progress alpha downloading", "progress gamma downloading",
                            "progress alpha pending", "progress gamma pending",
                            "progress beta downloading", "progress beta pending",
                            "progress alpha installing"));
    const std::string survey = "brew update\nbrew list --cask\nbrew list --formula\n"
                               "brew info --json=v2 --cask alpha gamma\n";
    const std::string installs = "brew install --cask alpha\nbrew install beta\n"
                                 "brew install --cask gamma\nbrew cleanup alpha beta gamma\n";
    EXPECT_EQ(invocations(),
              survey + "brew fetch --cask alpha gamma\nbrew fetch --formula beta\n" + installs);
    std::istringstream log(testing::readFile(state_ / "environment.log"));
    for (std::string command, environment;
         std::getline(log, command) && std::getline(log, environment);) {
        EXPECT_THAT(environment + " ", HasSubstr(" HOMEBREW_NO_ENV_HINTS=front ")) << command;
        EXPECT_EQ(environment.find(" HOMEBREW_NO_AUTO_UPDATE=1") != std::string::npos,
                  command != "brew update")
            << command;
    }
    std::filesystem::remove_all(state_.path());
    opts.prefetch = false;
    InstallEngine().run({alpha, beta, gamma}, opts, fake(brew), {});
    EXPECT_EQ(invocations(), survey + installs);
}

// However many downloads a fetch has named (names past a short string's inline buffer, so
// a row's name lives on the heap), each row shows "pending" again once; a stall costs one
// package's limit.
TEST_F(Engine, AFailedOrStalledFetchIsOnlyLoggedAndACancelDuringItSkipsEverything) {
    std::vector<AppEntry> apps;
    for (const char* id : {"alpha", "gamma", "delta", "omega"}) {
        apps.push_back(app(id, id, id + std::string("-with-a-long-name"), "cask"));
    }
    apps.push_back(beta);
    // A failure, a stall past the limit, a cancel during the stall.
    for (const auto& [knob, failure] :
         {std::pair{"CAIRNMOOR_FAKE_FAIL", "brew exited with status 1"},
          {"CAIRNMOOR_FAKE_HANG", "the fetch timed out"},
          {"CAIRNMOOR_FAKE_HANG", nullptr}}) {
        const bool cancel = std::string_view(knob) == "CAIRNMOOR_FAKE_HANG";
        std::filesystem::remove_all(state_.path());
        ::setenv(knob, "@fetch", 1);
        const std::string logged = "log Not everything was downloaded ahead (" +
                                   std::string(failure ? failure : "") +
                                   "); each install downloads what it still needs.";
        InstallOptions opts = options(brew, true);
        opts.timeoutSeconds = failure && cancel ? 1 : 30;
        InstallEngine engine;
        Recorder recorder;
        const auto start = std::chrono::steady_clock::now();
        const char* const failed = failure; // a lambda may not capture a structured binding
        // Cancelled on the engine's own thread, before it can go on to the other kind.
        const auto log = [&, record = recorder.log()](const std::string& line) {
            record(line);
            if (cancel && "log " + line == (failed ? logged : "log ==> Downloading @fetch")) {
                // Four downloads stalled, one package's limit: cut after about a second.
                EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
                engine.cancel();
            }
        };
        const auto results = engine.run(apps, opts, fake(brew), {recorder.progress(), log, {}});
        ::unsetenv(knob);
        const PackageState state = cancel ? PackageState::skipped() : PackageState::installed();
        EXPECT_THAT(statesOf(results), ::testing::Each(state));
        const auto events = recorder.events();
        for (const AppEntry& entry : apps) {
            EXPECT_EQ(std::count(events.begin(), events.end(), "progress " + entry.id + " pending"),
                      entry.id == "beta" && cancel ? 0 : 1)
                << entry.id;
        }
        EXPECT_EQ(std::count(events.begin(), events.end(), logged), failure ? (cancel ? 1 : 2) : 0);
        // The other kind is still fetched after a failure, nothing more after a cancel.
        EXPECT_EQ(invocations().find("brew fetch --formula beta\n") != std::string::npos, !cancel);
    }
}

// A list of names too long for one command is asked about and fetched by several, and every
// answer counts: gamma's app, named in the second answer, is found.
TEST_F(Engine, NamesPastTheArgumentLimitGoToSeveralCommands) {
    testing::TempDir home;
    home.write("Applications/Gamma.app/Contents/Info.plist", "");
    testing::StubFileManager files;
    files.home = home.path();
    InstallEngine engine({}, files);
    engine.limitArguments(1);
    const AppEntry delta = app("delta", "Delta", "delta", "cask");
    const auto results =
        engine.run({alpha, beta, gamma, delta}, options(brew, true), fake(brew), {});
    EXPECT_THAT(statesOf(results),
                ElementsAre(PackageState::installed(), PackageState::installed(),
                            PackageState::installedOutside(), PackageState::installed()));
    EXPECT_EQ(invocations(),
              "brew list --cask\nbrew list --formula\nbrew info --json=v2 --cask alpha\n"
              "brew info --json=v2 --cask gamma\nbrew info --json=v2 --cask delta\n"
              "brew fetch --cask alpha\nbrew fetch --cask delta\nbrew fetch --formula beta\n"
              "brew install --cask alpha\nbrew install beta\nbrew install --cask delta\n"
              "brew cleanup alpha beta delta\n");
}

} // namespace
} // namespace cairnmoor
