#include "managers/ProcessRunner.hpp"

#include "managers/CommandError.hpp"
#include "managers/process/PostFork.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>

namespace cairnmoor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::ElementsAre;
using ::testing::PrintToString;
using Lines = std::vector<std::string>;

// Lines as delivered; another thread of the test may wait for the first one.
struct Collector {
    std::mutex lock;
    std::condition_variable changed;
    Lines collected;

    ProcessRunner::OutputHandler handler() {
        return [this](const std::string& line) {
            std::lock_guard guard(lock);
            collected.push_back(line);
            changed.notify_all();
        };
    }
    Lines lines() {
        std::lock_guard guard(lock);
        return collected;
    }
    bool waitForFirstLine() {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, 10s, [&] { return !collected.empty(); });
    }
};

CommandResult shell(ProcessRunner& runner, const std::string& script, double timeout = 0,
                    const ProcessRunner::OutputHandler& onOutput = {},
                    const ProcessRunner::OutputHandler& onErrorOutput = {}) {
    return runner.run("/bin/sh", {"-c", script}, timeout, onOutput, onErrorOutput);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ended: gone, or (our own child) reported by waitid, reaped or not.
bool ended(pid_t processId) {
    for (const auto end = Clock::now() + 5s; Clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        siginfo_t info{};
        if ((::kill(processId, 0) != 0 && errno == ESRCH) ||
            (::waitid(P_PID, static_cast<id_t>(processId), &info, WEXITED | WNOHANG | WNOWAIT) ==
                 0 &&
             info.si_pid == processId)) {
            return true;
        }
    }
    return false;
}

struct OutputCase {
    const char* name;
    const char* script;
    Lines lines;
    CommandResult result = {0, false, false};
    Lines errors = {}; // standard error asked for apart when there are any
    double timeout = 0;
    friend void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }
};

class OutputDelivery : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputDelivery, DeliversEveryLineInOrder) {
    const OutputCase& c = GetParam();
    ProcessRunner runner;
    Collector out;
    Collector err;
    const CommandResult result = shell(runner, c.script, c.timeout, out.handler(),
                                       c.errors.empty() ? nullptr : err.handler());
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(result.succeeded(), c.result.exitCode == 0);
    EXPECT_EQ(out.lines(), c.lines);
    EXPECT_EQ(err.lines(), c.errors);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, OutputDelivery, ::testing::Values(
    OutputCase{"LastLineWithoutLineFeed", "printf 'a\\nb'", {"a", "b"}},
    OutputCase{"CarriageReturnAndEmptyLines", "printf 'x\\r\\n\\n'", {"x\r", ""}},
    // Nothing a child prints vanishes: each ill-formed part (a stray byte, an overlong form,
    // a surrogate, a cut-off end) becomes one U+FFFD.
    OutputCase{"IllFormedBytesShownNotDropped",
               "printf 'one\\n\\377 bad\\n\\300\\257|\\355\\240\\200\\ncaf\\303\\251\\n\\303'",
               {"one", "\uFFFD bad", "\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD", "caf\u00e9", "\uFFFD"}},
    OutputCase{"StandardErrorMergedInOrder", "echo one; echo two >&2; echo three", {"one", "two", "three"}},
    OutputCase{"StandardErrorApart", "echo one; echo two >&2; echo three", {"one", "three"}, {0, false, false}, {"two"}},
    // The pipe is drained after the exit: a grandchild's late line arrives, and one that
    // keeps the pipe open does not hang the run.
    OutputCase{"LateLineFromAGrandchild", "(sleep 0.2; echo late; exec sleep 3) & echo early", {"early", "late"}},
    OutputCase{"ExitSeven", "echo x; exit 7", {"x"}, {7, false, false}},
    OutputCase{"Killed", "kill -9 $$", {}, {9, false, false}},
    // Negative and NaN mean no limit, like zero; huge values must not wrap into the past.
    OutputCase{"NegativeLimitIsNone", "sleep 0.2", {}, {0, false, false}, {}, -1},
    OutputCase{"NaNLimitIsNone", "sleep 0.2", {}, {0, false, false}, {}, std::numeric_limits<double>::quiet_NaN()},
    OutputCase{"HugeLimitIsNone", "sleep 0.2", {}, {0, false, false}, {}, 9.2e18},
    OutputCase{"InfiniteLimitIsNone", "sleep 0.2", {}, {0, false, false}, {}, std::numeric_limits<double>::infinity()}),
    [](const auto& info) { return info.param.name; });
// clang-format on

class OverlongLine : public ::testing::TestWithParam<const char*> {};

TEST_P(OverlongLine, ComesInPiecesCutBetweenCharacters) {
    // "a" then multi-byte characters: the 1 MiB mark falls inside a character, and a cut
    // there would spoil both pieces.
    testing::TempDir dir;
    std::string text = "a";
    while (text.size() < 3 * 1024 * 1024 + 100) {
        text += GetParam();
    }
    ProcessRunner runner;
    Collector collector;
    const auto file = dir.write("long.txt", text + "\ntail\n");
    ASSERT_TRUE(runner.run("/bin/cat", {file.string()}, 0, collector.handler()).succeeded());
    Lines lines = collector.lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines.back(), "tail");
    lines.pop_back();
    std::string joined;
    for (const std::string& piece : lines) {
        EXPECT_LE(piece.size(), 1024u * 1024u);
        joined += piece;
    }
    EXPECT_EQ(joined, text);
}

INSTANTIATE_TEST_SUITE_P(Pieces, OverlongLine, ::testing::Values("\u00e9", "\U0001F37A"));

struct StopCase {
    const char* name;
    const char* script; // prints the id of a process that must be gone afterwards
    bool cancel;        // from another thread after the first line; else a 0.2 s limit
    CommandResult result;
    double atLeast; // seconds the run must take
    friend void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }
};

class Stopping : public ::testing::TestWithParam<StopCase> {};

TEST_P(Stopping, EndsTheWholeGroupOrLetsAnExitedChildBe) {
    const StopCase& c = GetParam();
    ProcessRunner runner;
    Collector collector;
    std::thread canceller([&] {
        if (c.cancel && collector.waitForFirstLine()) {
            runner.cancel();
        }
    });
    const auto start = Clock::now();
    const CommandResult result = shell(runner, c.script, c.cancel ? 0 : 0.2, collector.handler());
    const double elapsed = secondsSince(start);
    canceller.join();
    EXPECT_EQ(result, c.result);
    EXPECT_GE(elapsed, c.atLeast);
    EXPECT_LT(elapsed, 5.0);
    ASSERT_FALSE(collector.lines().empty());
    EXPECT_TRUE(ended(std::stoi(collector.lines()[0])));
    // A cancel is for good; a time-out is not.
    EXPECT_EQ(shell(runner, "exit 0"), (CommandResult{c.cancel ? -1 : 0, false, c.cancel}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Children, Stopping, ::testing::Values(
    StopCase{"TimeLimitObeyed", "sleep 30 & echo $!; wait", false, {SIGTERM, true, false}, 0},
    StopCase{"TimeLimitIgnored", "trap '' TERM; sleep 30 & echo $!; wait", false, {SIGKILL, true, false}, 0.65},
    StopCase{"CancelObeyed", "sleep 30 & echo $!; wait", true, {SIGTERM, false, true}, 0},
    StopCase{"CancelIgnored", "trap '' TERM; sleep 30 & echo $!; wait", true, {SIGKILL, false, true}, 0.45},
    // The manager ends at the SIGTERM; a grandchild ignoring it is killed after the grace
    // period while it holds the pipe, and when the run returns if it does not.
    StopCase{"GrandchildHoldingThePipe", "sh -c 'trap \"\" TERM; echo $$; exec sleep 30' & wait", false, {SIGTERM, true, false}, 0.45},
    StopCase{"GrandchildOffThePipe", "sh -c 'trap \"\" TERM; echo $$; exec sleep 30 >/dev/null 2>&1' & wait", false, {SIGTERM, true, false}, 0},
    // The child exited before the deadline; a grandchild holding the pipe while it drains
    // must not turn that into a time-out, nor be signalled.
    StopCase{"ExitedBeforeTheDeadline", "(sleep 1.5) & echo $!; exit 0", false, {0, false, false}, 0.9},
    // Likewise a cancel that comes after the child is done: it is for later runs.
    StopCase{"CancelAfterTheChildExited", "(sleep 0.3; echo $$; sleep 0.3) & exit 3", true, {3, false, false}, 0.5}),
    [](const auto& info) { return info.param.name; });
// clang-format on

TEST(Stopping, CancelsRacingTheLaunchNeverLeaveAChildRunning) {
    for (int round = 0; round < 40; ++round) {
        ProcessRunner runner;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(round * 50));
            runner.cancel();
        });
        const auto start = Clock::now();
        const CommandResult result = runner.run("/bin/sleep", {"30"}, 0);
        canceller.join();
        EXPECT_TRUE(result.cancelled) << "round " << round;
        EXPECT_LT(secondsSince(start), 5.0) << "round " << round;
    }
}

TEST(Hygiene, LaunchFailuresCallbackFailuresAndRunsLeaveNothingBehind) {
    const auto openDescriptors = [] {
        int count = 0;
        for (int fd = 0; fd < 4096; ++fd) {
            count += ::fcntl(fd, F_GETFD) != -1;
        }
        return count;
    };
    testing::TempDir dir;
    const std::string notExecutable = dir.write("not-executable", "#!/bin/sh\n").string();
    const int before = openDescriptors();
    ProcessRunner runner;
    try {
        runner.run(notExecutable, {"install", "alpha"}, 5);
        ADD_FAILURE() << "expected a launch failure";
    } catch (const CommandError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not launch " + notExecutable + ".");
    }
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(shell(runner, "echo x; echo y >&2", 0, {}, [](auto&) {}).succeeded());
        EXPECT_TRUE(runner.run("/bin/sleep", {"5"}, 0.05).timedOut);
    }
    // An exception from a handler still stops and reaps the child at once.
    const auto start = Clock::now();
    EXPECT_THROW(shell(runner, "echo x; exec sleep 30", 0,
                       [](const std::string&) { throw std::runtime_error("handler failed"); }),
                 std::runtime_error);
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_EQ(openDescriptors(), before);
    int status = 0;
    EXPECT_TRUE(::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD) << "a child is unreaped";
    EXPECT_TRUE(shell(runner, "exit 0").succeeded());
}

TEST(Hygiene, ChildGetsACleanStart) {
#if !((defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)) || defined(__APPLE__))
    GTEST_SKIP() << "this C library cannot close inherited descriptors at spawn";
#endif
    // SIGPIPE ignored, SIGTERM blocked, a stray descriptor open and our input a pipe holding a
    // line: the child must see none of it, without a terminal to share it reads /dev/null, and
    // it gets the variables the settings add.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previous), 0);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigset_t previousMask;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask), 0);
    const int stray = ::open("/dev/null", O_RDONLY);
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::write(input[1], "ours\n", 5), 5);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(input[0], STDIN_FILENO);

    // Both ways of starting a child: spawned, and forked to run as an account (root's
    // own, which only root may switch to).
    for (const std::optional<Account>& account :
         {std::optional<Account>(), ::geteuid() == 0 ? Account::withID(0) : std::nullopt}) {
        ProcessRunner runner({.shareTerminal = false,
                              .environment = {{"CAIRNMOOR_SEEN", "yes"}},
                              .account = account,
                              .executable = {}});
        Collector collector;
        const std::string script = "yes | head -n 1 >/dev/null; echo pipe ${PIPESTATUS[0]}; "
                                   "if { true <&" +
                                   std::to_string(stray) +
                                   "; } 2>/dev/null; then echo stray; fi; "
                                   "read -r line || echo input empty; echo $CAIRNMOOR_SEEN";
        const CommandResult pipe = runner.run("/bin/bash", {"-c", script}, 10, collector.handler());
        EXPECT_TRUE(pipe.succeeded());
        // With SIGPIPE at its default, `yes` dies of it (128 + 13) when `head` goes away.
        EXPECT_THAT(collector.lines(), ElementsAre("pipe 141", "input empty", "yes"));
        EXPECT_EQ(runner.run("/bin/sleep", {"30"}, 0.2), (CommandResult{SIGTERM, true, false}));
        EXPECT_THROW(runner.run("/nonexistent/brew", {}, 1), CommandError);
    }
    ::dup2(savedInput, STDIN_FILENO);
    for (const int fd : {stray, savedInput, input[0], input[1]}) {
        ::close(fd);
    }
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);
}

// The pure part of running as another account, which only root can exercise for real: the
// groups it gets (its primary group first, within the kernel's limit), set before the group
// and the user.
TEST(Hygiene, AnotherAccountGetsItsGroupsThenItsGroupThenItsUser) {
    struct Recorder {
        std::string calls;
        int setgroups(int count, const gid_t* groups) {
            return calls += "groups " + PrintToString(std::vector(groups, groups + count)), 0;
        }
        int setgid(gid_t gid) { return calls += ", gid " + std::to_string(gid), 0; }
        int setuid(uid_t uid) { return calls += ", uid " + std::to_string(uid), 0; }
    };
    for (const auto& [found, limit, calls] :
         {std::tuple<std::vector<gid_t>, std::size_t, std::string>{
              {12, 20, 61}, 0, "groups { 20, 12, 61 }, gid 20, uid 501"},
          {{}, 16, "groups { 20 }, gid 20, uid 501"},
          {{12, 61, 79}, 2, "groups { 20, 12 }, gid 20, uid 501"}}) {
        Recorder recorder;
        EXPECT_TRUE(
            process::becomeAccount(recorder, process::accountGroups(20, found, limit), 20, 501));
        EXPECT_EQ(recorder.calls, calls);
    }
}

} // namespace
} // namespace cairnmoor
