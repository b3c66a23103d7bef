// Headless installs as fleet tools run them: the statuses as before with the detail in
// the report (also of a run that never started, and the time each app took), the log
// beside an earlier one, and, as root, Homebrew run as its owner (who it runs as, and with
// what, is RootBoundary's and the account seam's).

#include "CliSandbox.hpp"
#include "cli/ReportWriter.hpp"
#include "support/StepClock.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <unistd.h>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// Statuses are as before; a run that stops before installing still leaves its report,
// saying why. As root, a Homebrew that belongs to root is one such reason.
TEST(FleetRun, RunThatNeverStartsReportsWhy) {
    SKIP_WHERE_A_REAL_HOMEBREW_WINS();
    for (const bool rootsBrew : {false, ::geteuid() == 0}) {
        CliSandbox sandbox;
        sandbox.writeCatalogue();
        sandbox.writeProfile("team.cmprofile", {"alpha", rootsBrew ? "beta" : "omega"});
        sandbox.runAsRoot = rootsBrew;
        // Root writes its report only where no one else can redirect it.
        const TempDir out;
        const fs::path reportPath = rootsBrew ? out / "sub/r" : sandbox.work() / "sub/r";
        const CliResult result =
            sandbox.run({"--profile", "team.cmprofile", "--report", reportPath.string()});
        const std::string why = rootsBrew ? "Homebrew at " + sandbox.brewPath() +
                                                " belongs to root and Homebrew does not run as root"
                                          : "Unknown catalogue IDs: omega.";
        EXPECT_EQ(result.status, rootsBrew ? 1 : 2);
        EXPECT_TRUE(result.err.starts_with(why) && result.err.find('\n') == result.err.size() - 1)
            << result.err;
        const Json report = Json::parse(readFile(reportPath));
        EXPECT_EQ(report["outcome"], "notStarted");
        EXPECT_EQ(report["error"].get<std::string>() + "\n", result.err);
        EXPECT_EQ(report["exitStatus"], result.status);
    }
}

// As a fleet agent runs it: as root where the tests can, with Homebrew belonging to an
// ordinary user; asked for a log whose name an earlier run took, in a folder of its own
// (root writes nowhere the owner could redirect); stopped mid-install.
TEST(FleetRun, InterruptedRunLeavesItsReportAndLogAndRunsHomebrewAsItsOwner) {
    SKIP_WHERE_A_REAL_HOMEBREW_WINS();
    const bool root = ::geteuid() == 0;
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.writeProfile("team.cmprofile", {"beta", "gamma"});
    const TempDir out;
    out.write("run.log", "an earlier run\n");
    sandbox.environment["CAIRNMOOR_FAKE_HANG"] = "beta";
    if (root) {
        fs::remove(sandbox.brewPath());
        fs::copy_file(fs::path(CAIRNMOOR_FAKES_DIR) / "brew", sandbox.brewPath());
        sandbox.runAsRoot = true;
    }
    const pid_t pid = sandbox.start({"--profile", "team.cmprofile", "--report",
                                     (out / "r").string(), "--log", (out / "run.log").string()});
    ASSERT_TRUE(eventually([&] { return sandbox.outputSoFar().ends_with("Downloading beta\n"); }));
    const auto report = [&] { return Json::parse(readFile(out / "r")); };
    // Written as the run goes, not only at its end.
    EXPECT_EQ(report()["apps"][0]["plannedAction"], "install");
    ::kill(pid, SIGTERM);
    const CliResult result = sandbox.finish(pid);
    EXPECT_EQ(result.status, 128 + SIGTERM);
    EXPECT_EQ(result.out.starts_with("Running Homebrew as nobody, the owner of " +
                                     sandbox.brewPath() + ".\n"),
              root);
    EXPECT_EQ(readFile(out / "run.log"), "an earlier run\n");
    EXPECT_EQ(readFile(out / "run-2.log"), "$ brew install beta\n==> Downloading beta\n");
    const Json done = report();
    EXPECT_EQ(done["outcome"], "interrupted");
    EXPECT_EQ(done["exitStatus"], 128 + SIGTERM);
    // Canonical: macOS keeps the temporary folder under /var, a link to /private/var.
    EXPECT_EQ(fs::canonical(done["logFile"].get<std::string>()), fs::canonical(out / "run-2.log"));
}

// An app's time runs from its first unfinished state to its final one, by the given clock.
TEST(FleetRun, ReportTimesEachAppByItsClock) {
    const StepClock clock{std::chrono::milliseconds(700)}; // each reading 700 ms on
    const TempDir out;
    RunReport run;
    run.apps.resize(2);
    run.apps[0].id = "alpha";
    run.apps[1].id = "beta";
    ReportWriter writer(out / "r", run, clock);
    for (const auto& [id, state] : {std::pair("alpha", PackageState::downloading()),
                                    {"alpha", PackageState::installing()},
                                    {"alpha", PackageState::installed()},
                                    {"beta", PackageState::failed("no")}}) {
        writer.progress(id, state);
    }
    const Json report = Json::parse(readFile(out / "r"));
    EXPECT_EQ(report["apps"][0]["durationMilliseconds"], 1400);
    EXPECT_EQ(report["apps"][1]["durationMilliseconds"], 0);
}

} // namespace
} // namespace cairnmoor::testing
