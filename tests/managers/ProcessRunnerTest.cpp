#include "managers/ProcessRunner.hpp"

#include "managers/CommandError.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cairnmoor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Lines = std::vector<std::string>;

// Lines as delivered; the test's other thread may wait for the first one.
class Collector {
public:
    ProcessRunner::OutputHandler handler() {
        return [this](const std::string& line) {
            std::lock_guard guard(lock_);
            lines_.push_back(line);
            changed_.notify_all();
        };
    }
    Lines lines() const {
        std::lock_guard guard(lock_);
        return lines_;
    }
    bool waitForFirstLine() {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, 10s, [&] { return !lines_.empty(); });
    }

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    Lines lines_;
};

CommandResult shell(ProcessRunner& runner, const std::string& script, double timeout = 0,
                    const ProcessRunner::OutputHandler& onOutput = {}) {
    return runner.run("/bin/sh", {"-c", script}, timeout, onOutput);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool processGone(pid_t processId) {
    for (const auto end = Clock::now() + 5s; Clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        if (::kill(processId, 0) != 0 && errno == ESRCH) {
            return true;
        }
    }
    return false;
}

bool hasUnreapedChild() {
    int status = 0;
    return !(::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD);
}

// --- Output delivery and exit status ---------------------------------------------------

struct OutputCase {
    const char* name;
    const char* script;
    Lines lines;
    CommandResult result = {0, false, false};
    friend void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }
};

class OutputDelivery : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputDelivery, DeliversEveryLineInOrder) {
    ProcessRunner runner;
    Collector collector;
    const CommandResult result = shell(runner, GetParam().script, 0, collector.handler());
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(result.succeeded(), GetParam().result.exitCode == 0);
    EXPECT_THAT(collector.lines(), ElementsAreArray(GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OutputDelivery,
    ::testing::Values(
        OutputCase{"LastLineWithoutLineFeed", "printf 'a\\nb'", {"a", "b"}},
        OutputCase{"CarriageReturnAndEmptyLines", "printf 'x\\r\\n\\n'", {"x\r", ""}},
        // Nothing a child prints vanishes: each ill-formed part (a stray byte, an
        // overlong form, a surrogate, a cut-off end) becomes one U+FFFD.
        OutputCase{"IllFormedBytesShownNotDropped",
                   "printf 'one\\n\\377 bad\\n\\300\\257|\\355\\240\\200\\ncaf\\303\\251\\n\\303'",
                   {"one", "\uFFFD bad", "\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD", "caf\u00e9", "\uFFFD"}},
        OutputCase{"StandardErrorMergedInOrder",
                   "echo one; echo two >&2; echo three",
                   {"one", "two", "three"}},
        OutputCase{"ExitSeven", "echo x; exit 7", {"x"}, {7, false, false}},
        OutputCase{"Killed", "kill -9 $$", {}, {9, false, false}}),
    [](const auto& info) { return info.param.name; });

TEST(OutputDelivery, StandardErrorApartWhenAskedFor) {
    ProcessRunner runner;
    Collector out;
    Collector err;
    runner.run("/bin/sh", {"-c", "echo one; echo warning >&2; echo two"}, 0, out.handler(),
               err.handler());
    EXPECT_THAT(out.lines(), ElementsAre("one", "two"));
    EXPECT_THAT(err.lines(), ElementsAre("warning"));
}

class OverlongLine : public ::testing::TestWithParam<const char*> {};

TEST_P(OverlongLine, ComesInPiecesCutBetweenCharacters) {
    // "a" then multi-byte characters, so the 1 MiB mark falls inside a character: a cut
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
    const Lines lines = collector.lines();
    ASSERT_GE(lines.size(), 5u);
    std::string joined;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 1024u * 1024u);
        joined += lines[i];
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(lines.back(), "tail");
}

INSTANTIATE_TEST_SUITE_P(Pieces, OverlongLine, ::testing::Values("\u00e9", "\U0001F37A"));

// --- Stopping a child: time limit and cancel --------------------------------------------

class NoTimeLimit : public ::testing::TestWithParam<double> {};

TEST_P(NoTimeLimit, LetsTheChildFinish) {
    // Zero, negative and NaN mean no limit; huge values must not wrap into the past.
    ProcessRunner runner;
    EXPECT_EQ(shell(runner, "sleep 0.3; exit 0", GetParam()), (CommandResult{0, false, false}));
}

INSTANTIATE_TEST_SUITE_P(Limits, NoTimeLimit,
                         ::testing::Values(0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                                           9.223372036854775807e18,
                                           std::numeric_limits<double>::infinity()));

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
    EXPECT_TRUE(processGone(std::stoi(collector.lines()[0])));
    // A cancel is for good; a time-out is not.
    EXPECT_EQ(shell(runner, "exit 0"), (CommandResult{c.cancel ? -1 : 0, false, c.cancel}));
}

INSTANTIATE_TEST_SUITE_P(
    Children, Stopping,
    ::testing::Values(
        StopCase{"TimeLimitObeyed", "sleep 30 & echo $!; wait", false, {SIGTERM, true, false}, 0},
        StopCase{"TimeLimitIgnored",
                 "trap '' TERM; sleep 30 & echo $!; wait",
                 false,
                 {SIGKILL, true, false},
                 0.65},
        StopCase{"CancelObeyed", "sleep 30 & echo $!; wait", true, {SIGTERM, false, true}, 0},
        StopCase{"CancelIgnored",
                 "trap '' TERM; sleep 30 & echo $!; wait",
                 true,
                 {SIGKILL, false, true},
                 0.45},
        // The child exited before the deadline; a grandchild holding the pipe while it
        // drains must not turn that into a time-out, nor get signalled.
        StopCase{"ExitedBeforeTheDeadline",
                 "(sleep 1.5) & echo $!; exit 0",
                 false,
                 {0, false, false},
                 0.9}),
    [](const auto& info) { return info.param.name; });

TEST(Stopping, CancelAfterTheChildExitedLeavesItsResult) {
    ProcessRunner runner;
    Collector collector;
    std::thread canceller([&] {
        if (collector.waitForFirstLine()) {
            runner.cancel();
        }
    });
    // The child is done (status 3); a grandchild holding the pipe prints after that.
    const CommandResult result =
        shell(runner, "(sleep 0.3; echo late; sleep 0.3) & exit 3", 0, collector.handler());
    canceller.join();
    EXPECT_EQ(result, (CommandResult{3, false, false}));
    EXPECT_TRUE(runner.isCancelled());
}

TEST(Stopping, AHandlerThatBlocksDoesNotHoldUpTheTimeLimit) {
    // Our own output stalled (a reader that stopped reading): the handler sits in a
    // write. The child must still be ended at its deadline.
    ProcessRunner runner;
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    pid_t child = 0;
    std::thread watcher([&] {
        std::unique_lock guard(lock);
        released.wait(guard, [&] { return child != 0; });
        // Our own child: it has ended once waitid reports it, reaped or not.
        bool ended = false;
        for (const auto end = Clock::now() + 5s; !ended && Clock::now() < end;
             std::this_thread::sleep_for(10ms)) {
            siginfo_t info{};
            ended = ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) ==
                        0 &&
                    info.si_pid == child;
        }
        EXPECT_TRUE(ended) << "the child outlived its time limit";
        release = true;
        released.notify_all();
    });
    const CommandResult result =
        shell(runner, "echo $$; exec sleep 30", 0.3, [&](const std::string& line) {
            std::unique_lock guard(lock);
            child = std::stoi(line);
            released.notify_all();
            released.wait(guard, [&] { return release; });
        });
    watcher.join();
    EXPECT_EQ(result, (CommandResult{SIGTERM, true, false}));
}

TEST(Cancellation, RacingTheLaunchNeverLeavesAChildRunning) {
    // Cancels land before, during and just after the launch; every one must stop the
    // child at once instead of letting it run its 30 seconds.
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
    EXPECT_FALSE(hasUnreapedChild());
}

// --- Launch failure --------------------------------------------------------------------

TEST(LaunchFailure, ThrowsWithThePathAndLeavesTheRunnerUsable) {
    testing::TempDir dir;
    const std::string notExecutable = dir.write("not-executable", "#!/bin/sh\n").string();
    for (const std::string path : {"/nonexistent/brew", notExecutable.c_str(), ""}) {
        ProcessRunner runner;
        try {
            runner.run(path, {"install", "alpha"}, 5);
            ADD_FAILURE() << "expected a launch failure for " << path;
        } catch (const CommandError& error) {
            EXPECT_EQ(std::string(error.what()), "Could not launch " + path + ".");
            EXPECT_EQ(error.executablePath(), path);
        }
        EXPECT_FALSE(runner.isCancelled());
        EXPECT_TRUE(shell(runner, "exit 0").succeeded());
    }
}

TEST(LaunchFailure, OutOfDescriptorsSaysSo) {
    // Every descriptor taken: the executable is not at fault, and the text must say so.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &previous), 0);
    rlimit tight = previous;
    tight.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> filler;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) {
        filler.push_back(fd);
    }
    std::string text;
    try {
        ProcessRunner runner;
        runner.run("/bin/true", {}, 5);
    } catch (const CommandError& error) {
        text = error.what();
    }
    for (const int fd : filler) {
        ::close(fd);
    }
    ::setrlimit(RLIMIT_NOFILE, &previous);
    EXPECT_EQ(text, "Could not launch /bin/true: " + std::string(std::strerror(EMFILE)) + ".");
}

// --- Process hygiene -------------------------------------------------------------------

TEST(Hygiene, GrandchildHoldingThePipeDoesNotHangTheRun) {
    ProcessRunner runner;
    Collector collector;
    const auto start = Clock::now();
    // The late line comes from the grandchild after the child has exited: draining the
    // pipe after the exit must still deliver it.
    const CommandResult result =
        shell(runner, "(sleep 0.2; echo late; exec sleep 3) & echo early", 0, collector.handler());
    const double elapsed = secondsSince(start);
    EXPECT_TRUE(result.succeeded());
    EXPECT_THAT(collector.lines(), ElementsAre("early", "late"));
    EXPECT_GE(elapsed, 0.9);
    EXPECT_LT(elapsed, 2.9);
}

TEST(Hygiene, RunsLeaveNoDescriptorsAndNoZombies) {
    const auto openDescriptors = [] {
        int count = 0;
        for (int fd = 0; fd < 4096; ++fd) {
            count += ::fcntl(fd, F_GETFD) != -1;
        }
        return count;
    };
    const int before = openDescriptors();
    ProcessRunner runner;
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(
            runner.run("/bin/sh", {"-c", "echo x; echo y >&2"}, 0, {}, [](auto&) {}).succeeded());
        EXPECT_TRUE(runner.run("/bin/sleep", {"5"}, 0.05).timedOut);
        EXPECT_THROW(runner.run("/nonexistent/x", {}, 1), CommandError);
    }
    // An exception from the callback must still stop and reap the child at once.
    const auto start = Clock::now();
    EXPECT_THROW(shell(runner, "echo x; exec sleep 30", 0,
                       [](const std::string&) { throw std::runtime_error("callback failed"); }),
                 std::runtime_error);
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_FALSE(hasUnreapedChild());
}

TEST(Hygiene, ChildGetsACleanStart) {
#if !((defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)) || defined(__APPLE__))
    GTEST_SKIP() << "this C library cannot close inherited descriptors at spawn";
#endif
    // Ignore SIGPIPE, block SIGTERM and leave a stray descriptor open here: the child
    // must see none of it, and without a terminal to share it reads /dev/null.
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

    // Both ways of starting a child: spawned, and forked to run as an account (root's
    // own, which only root may switch to).
    for (const std::optional<Account>& account :
         {std::optional<Account>(), ::geteuid() == 0 ? Account::withID(0) : std::nullopt}) {
        ProcessRunner runner({.shareTerminal = false,
                              .environment = {{"CAIRNMOOR_SEEN", "yes"}},
                              .account = account});
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
    }
    ::close(stray);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);
}

} // namespace
} // namespace cairnmoor
