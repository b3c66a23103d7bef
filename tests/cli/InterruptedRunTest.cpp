// An interrupt during a profile install: the package manager's process group (out of
// the terminal's reach) is stopped, the rest is skipped, the report still comes, and
// the status says the run was interrupted, even when nothing failed.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <csignal>

namespace cairnmoor::testing {
namespace {

struct InterruptCase {
    std::string name;
    int signalNumber;
    bool silent; // a silent run also has no failure before the interrupt
};

class InterruptedRun : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptedRun, StopsTheManagerSkipsTheRestAndReports) {
    if (CliSandbox::realHomebrewInTheWay()) {
        GTEST_SKIP() << "a real Homebrew would be found before the fake";
    }
    const InterruptCase& c = GetParam();
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta", "gamma"});
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = c.silent ? "" : "alpha";
    sandbox.environment["CAIRNMOOR_FAKE_HANG"] = "beta";
    std::vector<std::string> arguments{"--profile", "team.cmprofile"};
    if (c.silent) {
        arguments.push_back("--silent");
    }
    const pid_t pid = sandbox.start(arguments);
    // A silent run shows nothing while it works: the manager's own record tells when
    // it is busy with beta.
    ASSERT_TRUE(eventually([&] {
        const auto calls = sandbox.invocations();
        return !calls.empty() && calls.back() == "brew install beta" &&
               !childProcessGroups(pid).empty() &&
               (c.silent || sandbox.outputSoFar().ends_with("==> Downloading beta\n"));
    }));
    const std::vector<pid_t> groups = childProcessGroups(pid);
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_NE(groups[0], pid) << "the manager runs in a group of its own";

    ::kill(pid, c.signalNumber);
    const CliResult result = sandbox.finish(pid);

    const std::string report = c.silent ? "Summary: 3 processed, 0 failed.\n"
                                        : "FAILED: Alpha - brew exited with status 1\n"
                                          "Summary: 3 processed, 1 failed.\n";
    EXPECT_EQ(result.out,
              (c.silent ? ""
                        : "Installing 3 app(s) from team.cmprofile using " + sandbox.brewPath() +
                              "...\n"
                              "alpha: installing\n$ brew install --cask alpha\n"
                              "Error: alpha: simulated failure\n"
                              "alpha: failed(\"brew exited with status 1\")\n"
                              "beta: installing\n$ brew install beta\n"
                              "==> Downloading beta\n"
                              "beta: skipped\ngamma: skipped\n") +
                  report);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.termSignal, 0) << "ended by the signal instead of reporting";
    EXPECT_EQ(result.status, 128 + c.signalNumber);
    if (processGroupExists(groups[0])) {
        ::kill(-groups[0], SIGKILL);
        ADD_FAILURE() << "the manager outlived the interrupt";
    }
    EXPECT_EQ(sandbox.invocations().back(), "brew install beta");
}

INSTANTIATE_TEST_SUITE_P(Cli, InterruptedRun,
                         ::testing::Values(InterruptCase{"CtrlC", SIGINT, false},
                                           InterruptCase{"Terminate", SIGTERM, false},
                                           InterruptCase{"HangUpSilent", SIGHUP, true}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace cairnmoor::testing
