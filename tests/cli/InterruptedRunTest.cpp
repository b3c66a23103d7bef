// An interrupt during a profile install: the package manager's process group (out of
// the terminal's reach) is stopped, the rest is skipped, the report still comes, and
// the status says the run was interrupted.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace cairnmoor::testing {
namespace {

using namespace std::chrono_literals;

// Waits until the condition holds or the deadline passes.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds deadline = 20s) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

struct InterruptCase {
    std::string name;
    int signalNumber;
    std::string knob; // how the busy package behaves
};

class InterruptedRun : public ::testing::TestWithParam<InterruptCase> {
protected:
    void SetUp() override {
        if (CliSandbox::realHomebrewInTheWay()) {
            GTEST_SKIP() << "a real Homebrew would be found before the fake";
        }
        sandbox.writeCatalogue();
        sandbox.writeProfile("team.cmprofile", {"alpha", "beta", "gamma"});
    }

    CliSandbox sandbox;
};

TEST_P(InterruptedRun, StopsTheManagerSkipsTheRestAndReports) {
    const InterruptCase& c = GetParam();
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "alpha";
    sandbox.environment[c.knob] = "beta";
    auto process = sandbox.start({"--profile", "team.cmprofile"});
    ASSERT_TRUE(process->waitForOutput("==> Downloading beta\n", 20s));
    const std::vector<pid_t> groups = childProcessGroups(process->pid());
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_NE(groups[0], process->pid()) << "the manager runs in a group of its own";

    process->sendSignal(c.signalNumber);
    const CliResult result = process->finish();

    EXPECT_EQ(result.out, "Installing 3 app(s) from team.cmprofile using " + sandbox.brewPath() +
                              "...\n"
                              "alpha: installing\n$ brew install --cask alpha\n"
                              "Error: alpha: simulated failure\n"
                              "alpha: failed(\"brew exited with status 1\")\n"
                              "beta: installing\n$ brew install beta\n==> Downloading beta\n"
                              "beta: skipped\ngamma: skipped\n"
                              "FAILED: Alpha - brew exited with status 1\n"
                              "Summary: 3 processed, 1 failed.\n");
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
                         ::testing::Values(InterruptCase{"CtrlC", SIGINT, "CAIRNMOOR_FAKE_HANG"},
                                           InterruptCase{"Terminate", SIGTERM,
                                                         "CAIRNMOOR_FAKE_HANG"},
                                           InterruptCase{"HangUp", SIGHUP, "CAIRNMOOR_FAKE_HANG"},
                                           InterruptCase{"CtrlCManagerIgnoresTerm", SIGINT,
                                                         "CAIRNMOOR_FAKE_IGNORE_TERM"}),
                         [](const auto& info) { return info.param.name; });

// Nothing on standard output tells a silent run's watcher that the manager is busy,
// so watch the manager's own record instead.
TEST(InterruptedSilentRun, NeverExitsZero) {
    if (CliSandbox::realHomebrewInTheWay()) {
        GTEST_SKIP() << "a real Homebrew would be found before the fake";
    }
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    sandbox.environment["CAIRNMOOR_FAKE_HANG"] = "alpha";
    auto process = sandbox.start({"--profile", "team.cmprofile", "--silent"});
    ASSERT_TRUE(eventually([&] {
        const auto calls = sandbox.invocations();
        return !calls.empty() && calls.back() == "brew install --cask alpha" &&
               !childProcessGroups(process->pid()).empty();
    }));
    process->sendSignal(SIGINT);
    const CliResult result = process->finish();
    EXPECT_EQ(result.out, "Summary: 2 processed, 0 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 130);
}

} // namespace
} // namespace cairnmoor::testing
