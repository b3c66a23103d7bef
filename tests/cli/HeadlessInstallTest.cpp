// Profile installs through the fake brew: what the user sees on each stream, the
// status, what the manager was asked to do, that no log file is left behind, and what
// an interrupt does to a run.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <ostream>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

// The fake's merged output for a fresh formula install (its warning comes through stderr).
std::string installOutput(const std::string& name) {
    return "==> Downloading https://downloads.example.invalid/" + name +
           "-1.0.0.tar.gz\n==> Fetching " + name + "\nWarning: " + name +
           " comes from a fake repository\n==> Installing formula " + name +
           "\n==> Summary: " + name + " 1.0.0 installed\n";
}

class HeadlessInstall : public ::testing::Test {
protected:
    void SetUp() override {
        if (CliSandbox::realHomebrewInTheWay()) {
            GTEST_SKIP() << "a real Homebrew would be found before the fake";
        }
        sandbox.writeCatalogue();
    }

    // Every profile here asks for a log; the command line never writes one.
    void TearDown() override {
        for (const fs::path& folder : {sandbox.home(), sandbox.work()}) {
            for (const auto& item : fs::recursive_directory_iterator(folder)) {
                const fs::path& file = item.path();
                EXPECT_TRUE(item.is_directory() || file.filename() == "catalog.json" ||
                            file.extension() == ".cmprofile")
                    << "stray file " << file;
            }
        }
        EXPECT_FALSE(fs::exists(sandbox.home() / "Library" / "Logs"));
    }

    std::string header(std::size_t count, const std::string& path) const {
        return "Installing " + std::to_string(count) + " app(s) from " + path + " using " +
               sandbox.brewPath() + "...\n";
    }

    CliSandbox sandbox;
};

// Duplicates count once, the catalogue's order wins, the path is shown as typed, and
// a failure shows as it happens and again after the run.
TEST_F(HeadlessInstall, FailingPackageInAnOtherwiseGoodRun) {
    sandbox.writeProfile("profiles/team.cmprofile", {"beta", "alpha", "beta"});
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "alpha:3";
    const std::string typed = "./profiles/../profiles/team.cmprofile";
    const CliResult result = sandbox.run({"--profile", typed});
    EXPECT_EQ(result.out, header(2, typed) +
                              "alpha: installing\n$ brew install --cask alpha\n"
                              "Error: alpha: simulated failure\n"
                              "alpha: failed(\"brew exited with status 3\")\n"
                              "beta: installing\n$ brew install beta\n" +
                              installOutput("beta") +
                              "beta: installed\nFAILED: Alpha - brew exited with status 3\n"
                              "Summary: 2 processed, 1 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(sandbox.invocations(),
              (std::vector<std::string>{"brew list --cask", "brew list --formula",
                                        "brew info --json=v2 --cask alpha",
                                        "brew install --cask alpha", "brew install beta"}));
}

TEST_F(HeadlessInstall, SilentRunShowsOnlyFailuresAndSummary) {
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta", "gamma"});
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "alpha gamma:7";
    const CliResult result = sandbox.run({"--silent", "--profile", "team.cmprofile"});
    EXPECT_EQ(result.out, "FAILED: Alpha - brew exited with status 1\n"
                          "FAILED: Gamma - brew exited with status 7\n"
                          "Summary: 3 processed, 2 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 1);
}

// Every saved option reaches the engine; only the manager is overridden (the first
// --manager decides), and a package left as it was is no failure.
TEST_F(HeadlessInstall, SavedOptionsAndManagerOverrideReachTheRun) {
    sandbox.write("state/casks/alpha", "1.0.0\n");
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"},
                         R"({"packageManager": "macports", "skipInstalled": true,
                             "upgradeIfPresent": false, "runUpdateFirst": true,
                             "writeLog": true, "timeoutSeconds": 60, "prefetch": false})");
    const CliResult result = sandbox.run(
        {"--profile", "team.cmprofile", "--manager", "homebrew", "--manager", "macports"});
    EXPECT_EQ(result.out, header(2, "team.cmprofile") +
                              "$ brew update\n==> Updating the package index\nAlready "
                              "up-to-date.\nalpha: alreadyPresent\nbeta: installing\n"
                              "$ brew install beta\n" +
                              installOutput("beta") +
                              "beta: installed\nSummary: 2 processed, 0 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

// A busy command's output lines arrive on another thread than the progress lines;
// every line must still come out whole.
TEST_F(HeadlessInstall, LinesStayWholeUnderFloodingOutput) {
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    sandbox.environment["CAIRNMOOR_FAKE_FLOOD"] = "alpha:3000 beta:3000";
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    ASSERT_EQ(result.status, 0);
    ASSERT_TRUE(result.out.ends_with("beta: installed\nSummary: 2 processed, 0 failed.\n"));
    std::size_t flooded = 0;
    for (std::size_t start = 0, end; start < result.out.size(); start = end + 1) {
        end = result.out.find('\n', start);
        const std::string line = result.out.substr(start, end - start);
        if (line.starts_with("==> Unpacking")) {
            ++flooded;
            EXPECT_TRUE(line.ends_with("/3000")) << line;
        }
    }
    EXPECT_EQ(flooded, 6000u);
}

// An interrupt stops the manager's process group (out of the terminal's reach), the
// rest is skipped, the report still comes, and the status says the run was
// interrupted, even when nothing failed.
struct InterruptCase {
    std::string name;
    int signalNumber;
    bool silent; // a silent run also has no failure before the interrupt
};

// Test names show the case, not its bytes.
void PrintTo(const InterruptCase& c, std::ostream* os) {
    *os << c.name;
}

class InterruptedRun : public HeadlessInstall,
                       public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(InterruptedRun, StopsTheManagerSkipsTheRestAndReports) {
    const InterruptCase& c = GetParam();
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
    EXPECT_EQ(result.out, c.silent ? "Summary: 3 processed, 0 failed.\n"
                                   : header(3, "team.cmprofile") +
                                         "alpha: installing\n$ brew install --cask alpha\n"
                                         "Error: alpha: simulated failure\n"
                                         "alpha: failed(\"brew exited with status 1\")\n"
                                         "beta: installing\n$ brew install beta\n"
                                         "==> Downloading beta\nbeta: skipped\ngamma: skipped\n"
                                         "FAILED: Alpha - brew exited with status 1\n"
                                         "Summary: 3 processed, 1 failed.\n");
    EXPECT_EQ(result.err, "");
    // Not ended by the signal: the run reports and says it was interrupted.
    EXPECT_EQ(result.status, 128 + c.signalNumber);
    if (groupRunning(groups[0])) {
        ::kill(-groups[0], SIGKILL);
        ADD_FAILURE() << "the manager outlived the interrupt";
    }
    EXPECT_EQ(sandbox.invocations().back(), "brew install beta");
}

INSTANTIATE_TEST_SUITE_P(Cli, InterruptedRun,
                         ::testing::Values(InterruptCase{"CtrlC", SIGINT, false},
                                           InterruptCase{"Terminate", SIGTERM, false},
                                           InterruptCase{"Quit", SIGQUIT, false},
                                           InterruptCase{"HangUpSilent", SIGHUP, true}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace cairnmoor::testing
