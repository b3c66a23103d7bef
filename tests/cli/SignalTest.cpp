// Signals, terminals and readers as the field brings them: an interrupt stops the
// manager's whole process group and the run still reports; a signal the launcher ignored
// stays ignored; a stalled reader does not stop the clock; a person at the terminal can
// answer a password prompt, Ctrl-C there still stops everything, and Ctrl-Z suspends it.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

class Signals : public SandboxTest {};

// Not ended by the signal: the manager's group is stopped (it sits out of the terminal's
// reach), the rest is skipped, the run reports, and the status says it was interrupted. A
// signal ignored by whoever started us (nohup, a script's background job) stays ignored:
// it is sent first, and only the SIGTERM after it stops the run.
class InterruptedRun : public Signals, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(InterruptedRun, StopsTheManagerSkipsTheRestAndReports) {
    const auto [ignored, signalNumber] = GetParam();
    const bool silent = signalNumber == SIGHUP; // and nothing fails before the interrupt
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta", "gamma"});
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = silent ? "" : "alpha";
    sandbox.environment["CAIRNMOOR_FAKE_HANG"] = "beta";
    sandbox.launcher = ignored != 0 ? "trap '' " + std::to_string(ignored) + ";" : "";
    const pid_t pid = sandbox.start({"--profile", "team.cmprofile", silent ? "--silent" : "--"});
    // A silent run shows nothing: the manager's own record tells when it is busy with beta.
    ASSERT_TRUE(eventually([&] {
        const auto calls = sandbox.invocations();
        return !calls.empty() && calls.back() == "brew install beta" &&
               !childProcessGroups(pid).empty() &&
               (silent || sandbox.outputSoFar().ends_with("==> Downloading beta\n"));
    }));
    const std::vector<pid_t> groups = childProcessGroups(pid);
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_NE(groups[0], pid) << "the manager runs in a group of its own";
    if (ignored != 0) {
        ::kill(pid, ignored);
    }
    ::kill(pid, signalNumber);
    const CliResult result = sandbox.finish(pid);
    std::string golden =
        readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/cli/golden/interrupted.out");
    golden.replace(golden.find("@BREW@"), 6, sandbox.brewPath());
    EXPECT_EQ(result.out, silent ? "Summary: 3 processed, 0 failed.\n" : golden);
    EXPECT_EQ(result.status, 128 + signalNumber);
    if (groupRunning(groups[0])) {
        ::kill(-groups[0], SIGKILL);
        ADD_FAILURE() << "the manager outlived the interrupt";
    }
    EXPECT_EQ(sandbox.invocations().back(), "brew install beta");
}

INSTANTIATE_TEST_SUITE_P(Cli, InterruptedRun,
                         ::testing::Values(std::pair(0, SIGINT), std::pair(0, SIGTERM),
                                           std::pair(0, SIGQUIT), std::pair(0, SIGHUP),
                                           std::pair(SIGHUP, SIGTERM), std::pair(SIGINT, SIGTERM),
                                           std::pair(SIGQUIT, SIGTERM)));

TEST_F(Signals, StalledReaderDoesNotStopTheClock) {
    // Nobody reads our output: once the pipe is full every write blocks. The flooding
    // package must still be ended at its 1-second limit.
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"},
                         R"({"skipInstalled": false, "upgradeIfPresent": false, "prefetch": false,
                             "runUpdateFirst": false, "writeLog": false, "timeoutSeconds": 1})");
    sandbox.environment["CAIRNMOOR_FAKE_FLOOD"] = "alpha:100000000";
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    sandbox.outputDescriptor = ends[1];
    const pid_t pid = sandbox.start({"--profile", "team.cmprofile"});
    ::close(ends[1]);
    ASSERT_TRUE(eventually([&] { return sandbox.invocations().size() == 1; }));
    EXPECT_TRUE(eventually([&] { return childProcessGroups(pid).empty(); }))
        << "the package outlived its time limit while our output was stalled";
    // Now read: the run goes on to its end.
    std::string out;
    char buffer[65536];
    for (ssize_t count; (count = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(ends[0]);
    EXPECT_EQ(sandbox.finish(pid).status, 1);
    EXPECT_TRUE(out.ends_with("FAILED: Alpha - Homebrew command timed out\n"
                              "Summary: 2 processed, 1 failed.\n"));
}

// A survey is stopped as an install is: the manager's group goes, the status says why.
TEST_F(Signals, SurveyStopsItsManagerWhenInterrupted) {
    sandbox.environment["CAIRNMOOR_FAKE_HANG"] = "@list";
    for (const char* mode : {"--check", "--dry-run"}) {
        const pid_t pid = sandbox.start({"--profile", "team.cmprofile", mode});
        ASSERT_TRUE(eventually([&] { return childProcessGroups(pid).size() == 1; })) << mode;
        const pid_t group = childProcessGroups(pid)[0];
        ::kill(pid, SIGTERM);
        EXPECT_EQ(sandbox.finish(pid).status, 128 + SIGTERM) << mode;
        if (groupRunning(group)) {
            ::kill(-group, SIGKILL);
            ADD_FAILURE() << mode << ": the manager outlived the interrupt";
        }
    }
}

// However many interrupts follow the first, the last report reaches the disk whole and
// no temporary file is left beside it.
TEST_F(Signals, LaterInterruptsNeverCutTheLastReportShort) {
    sandbox.environment["CAIRNMOOR_FAKE_HANG"] = "beta";
    const pid_t pid = sandbox.start({"--profile", "team.cmprofile", "--report", "r"});
    ASSERT_TRUE(eventually([&] { return fs::exists(sandbox.work() / "r"); }));
    for (siginfo_t info{};
         ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;) {
        ::kill(pid, SIGTERM);
    }
    EXPECT_EQ(sandbox.finish(pid).status, 128 + SIGTERM);
    EXPECT_NE(readFile(sandbox.work() / "r").find(R"("outcome": "interrupted")"),
              std::string::npos);
    for (const auto& entry : fs::directory_iterator(sandbox.work())) {
        EXPECT_FALSE(entry.path().extension() == ".tmp") << entry.path();
    }
}

std::string readUntil(int terminal, const std::string& wanted, std::string& seen) {
    char buffer[4096];
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (seen.find(wanted) == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd readable{terminal, POLLIN, 0};
        if (::poll(&readable, 1, 100) > 0) {
            const ssize_t count = ::read(terminal, buffer, sizeof buffer);
            if (count <= 0) {
                break;
            }
            seen.append(buffer, static_cast<std::size_t>(count));
        }
    }
    return seen;
}

// Shells on the terminal: none (the run is its foreground), a job-control shell with the
// run in the background, and one with the run in the foreground that continues it with
// `fg` once it has stopped (a non-interactive shell goes on with its script then).
const std::string foreground;
const std::string background = "set -m; \"$0\" \"$@\" & wait $!; exit $?;";
const std::string suspendable =
    "set -m; \"$0\" \"$@\"; echo \"job status $?\"; fg >/dev/null; exit $?;";
// The same, with the person away for 3 seconds before `fg`.
const std::string suspendedLong =
    "set -m; \"$0\" \"$@\"; echo \"job status $?\"; sleep 3; fg >/dev/null; exit $?;";

struct TerminalCase {
    std::string name;
    const std::string& shell;
    std::vector<std::pair<std::string, std::string>> typed; // what is typed once a text shows
    int status;
    std::string lastLine;
    int timeoutSeconds = 60;
    friend void PrintTo(const TerminalCase& c, std::ostream* os) { *os << c.name; }
};

class InTerminal : public Signals, public ::testing::WithParamInterface<TerminalCase> {};

TEST_P(InTerminal, PromptReachesThePersonInTheForegroundOnly) {
    const TerminalCase& c = GetParam();
    sandbox.environment["CAIRNMOOR_FAKE_PROMPT"] = "alpha";
    sandbox.environment["CAIRNMOOR_FAKE_CONTEXT"] = "1";
    std::string options = CliSandbox::defaultOptions;
    options.replace(options.find("60"), 2, std::to_string(c.timeoutSeconds));
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"}, options);
    int terminal = -1;
    const pid_t pid = sandbox.startInTerminal({"--profile", "team.cmprofile"}, c.shell, terminal);
    std::string seen;
    for (const auto& [shown, keys] : c.typed) {
        ASSERT_NE(readUntil(terminal, shown, seen).find(shown), std::string::npos) << seen;
        ASSERT_EQ(::write(terminal, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    readUntil(terminal, c.lastLine, seen);
    const CliResult result = sandbox.finish(pid);
    ::close(terminal);
    EXPECT_EQ(result.status, c.status) << seen;
    EXPECT_NE(seen.find(c.lastLine), std::string::npos) << seen;
    // The install lent the terminal reads from it, as sudo's prompt would.
    const std::string context = readFile(sandbox.work() / "../state/context.log");
    EXPECT_EQ(context.find(" input terminal") != std::string::npos, c.shell != background)
        << context;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, InTerminal,
    ::testing::Values(
        TerminalCase{"Answered",
                     foreground,
                     {{"Password:", "secret\n"}},
                     0,
                     "Summary: 2 processed, 0 failed."},
        TerminalCase{"CtrlC",
                     foreground,
                     {{"Password:", "\x03"}},
                     128 + SIGINT,
                     "alpha: skipped\r\nbeta: skipped\r\nSummary: 2 processed, 0 failed."},
        // Ctrl-Z at the prompt suspends the whole run, not only the manager; `fg` brings
        // the prompt back.
        TerminalCase{
            "CtrlZThenFg",
            suspendable,
            {{"Password:", "\x1a"}, {"job status " + std::to_string(128 + SIGTSTP), "secret\n"}},
            0,
            "Summary: 2 processed, 0 failed."},
        // The time limit stands still while the run is suspended, and holds again after `fg`.
        TerminalCase{"SuspendedLongerThanTheTimeLimit",
                     suspendedLong,
                     {{"Password:", "\x1a"}, {"job status", "secret\n"}},
                     0,
                     "Summary: 2 processed, 0 failed.",
                     2},
        TerminalCase{"TimeLimitAfterFg",
                     suspendable,
                     {{"Password:", "\x1a"}},
                     1,
                     "FAILED: Alpha - Homebrew command timed out",
                     1},
        // A background job cannot be asked: it fails at once instead of waiting unseen.
        TerminalCase{"BackgroundJob",
                     background,
                     {},
                     1,
                     "(it needed an administrator password and had no terminal to ask for it"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace cairnmoor::testing
