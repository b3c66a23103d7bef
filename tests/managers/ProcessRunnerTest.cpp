#include "managers/ProcessRunner.hpp"

#include "managers/CommandError.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <ostream>
#include <signal.h>
#include <string>
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

// Lines as the runner delivered them, guarded because delivery may use another thread.
class Collector {
public:
    ProcessRunner::OutputHandler handler() {
        return [this](const std::string& line) {
            std::lock_guard guard(lock_);
            lines_.push_back(line);
            changed_.notify_all();
        };
    }
    std::vector<std::string> lines() const {
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
    std::vector<std::string> lines_;
};

CommandResult shell(ProcessRunner& runner, const std::string& script, double timeout = 0,
                    const ProcessRunner::OutputHandler& onOutput = {}) {
    return runner.run("/bin/sh", {"-c", script}, timeout, onOutput);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int openDescriptorCount() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd) {
        count += ::fcntl(fd, F_GETFD) != -1;
    }
    return count;
}

bool hasUnreapedChild() {
    int status = 0;
    return !(::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD);
}

// Waits (with a deadline) until no process with this identifier exists.
bool processGone(pid_t processId) {
    const auto end = Clock::now() + 5s;
    while (Clock::now() < end) {
        if (::kill(processId, 0) != 0 && errno == ESRCH) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// --- Output delivery and exit status ---------------------------------------------------

struct OutputCase {
    const char* name;
    const char* script;
    std::vector<std::string> lines;
    CommandResult result = {0, false, false};
};

// Test names show the case, not its bytes.
void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.name;
}

class OutputDelivery : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputDelivery, DeliversExactlyTheValidLinesInOrder) {
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
        OutputCase{"CarriageReturnKept", "printf 'x\\r\\n'", {"x\r"}},
        OutputCase{"EmptyLines", "printf '\\n\\n'", {"", ""}},
        OutputCase{
            "InvalidLineBetweenGoodOnes", "printf 'one\\n\\377\\376 bad\\ntwo\\n'", {"one", "two"}},
        OutputCase{"InvalidFinalRemainderDropped", "printf 'ok\\n\\303'", {"ok"}},
        OutputCase{"OverlongAndSurrogateRejected",
                   "printf '\\300\\257\\n\\355\\240\\200\\n\\364\\220\\200\\200\\nend\\n'",
                   {"end"}},
        OutputCase{"MultibyteKept",
                   "printf 'caf\\303\\251 \\360\\237\\215\\272\\n'",
                   {"caf\u00e9 \U0001F37A"}},
        OutputCase{"StandardErrorMergedInOrder",
                   "echo one; echo two >&2; echo three",
                   {"one", "two", "three"}},
        // A failing status is a result, not an error; a signal reports its number.
        OutputCase{"ExitSeven", "echo x; exit 7", {"x"}, {7, false, false}},
        OutputCase{"Killed", "kill -9 $$", {}, {9, false, false}}),
    [](const auto& info) { return info.param.name; });

TEST(OutputVolume, HundredMegabytesArriveCompleteAndInOrder) {
    // One million lines of 100 bytes each, numbered so any loss or reordering shows.
    ProcessRunner runner;
    long count = 0;
    bool inOrder = true;
    std::size_t bytes = 0;
    const CommandResult result = runner.run(
        "/usr/bin/awk",
        {"BEGIN { pad = sprintf(\"%90s\", \"\"); for (i = 0; i < 1000000; i++) printf \"%09d "
         "%s\\n\", i, pad }"},
        0, [&](const std::string& line) {
            inOrder = inOrder && line.size() == 100 && std::stol(line.substr(0, 9)) == count;
            ++count;
            bytes += line.size() + 1;
        });
    EXPECT_TRUE(result.succeeded());
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(count, 1'000'000);
    EXPECT_EQ(bytes, 101'000'000u);
}

TEST(OutputVolume, OverlongLineComesInPiecesCutBetweenCharacters) {
    // "a" then two-byte characters: every even offset, the 1 MiB mark included, falls
    // inside a character, so a cut at exactly 1 MiB would make both pieces invalid.
    testing::TempDir dir;
    std::string text = "a";
    while (text.size() < 3 * 1024 * 1024 + 100) {
        text += "\u00e9";
    }
    const auto file = dir.write("long.txt", text + "\ntail\n");
    ProcessRunner runner;
    Collector collector;
    ASSERT_TRUE(runner.run("/bin/cat", {file.string()}, 0, collector.handler()).succeeded());
    const std::vector<std::string> lines = collector.lines();
    ASSERT_GE(lines.size(), 5u);
    std::string joined;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 1024u * 1024u);
        if (i + 2 < lines.size()) {
            EXPECT_GT(lines[i].size(), 1024u * 1024u - 4) << "piece " << i;
        }
        joined += lines[i];
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(lines.back(), "tail");
}

// --- Stopping a child: time limit and cancel --------------------------------------------

class NoTimeLimit : public ::testing::TestWithParam<double> {};

TEST_P(NoTimeLimit, LetsTheChildFinish) {
    // Zero, negative and NaN mean no limit; huge values must not wrap into the past.
    ProcessRunner runner;
    EXPECT_EQ(shell(runner, "sleep 0.3; exit 0", GetParam()), (CommandResult{0, false, false}));
}

INSTANTIATE_TEST_SUITE_P(Limits, NoTimeLimit,
                         ::testing::Values(0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                                           9.223372036854775807e18, 1e300,
                                           std::numeric_limits<double>::infinity()));

struct StopCase {
    const char* name;
    bool cancel; // from another thread; otherwise a 0.2 s time limit
    bool ignoresSigterm;
};

// Test names show the case, not its bytes.
void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class Stopping : public ::testing::TestWithParam<StopCase> {};

TEST_P(Stopping, EndsTheWholeGroupWithSigtermThenSigkill) {
    // The shell prints its own child's id, so the test can see that it went too.
    const StopCase& c = GetParam();
    ProcessRunner runner;
    Collector collector;
    std::thread canceller([&] {
        if (c.cancel && collector.waitForFirstLine()) {
            runner.cancel();
        }
    });
    const auto start = Clock::now();
    const CommandResult result = shell(
        runner, std::string(c.ignoresSigterm ? "trap '' TERM; " : "") + "sleep 30 & echo $!; wait",
        c.cancel ? 0 : 0.2, collector.handler());
    const double elapsed = secondsSince(start);
    canceller.join();
    EXPECT_EQ(result, (CommandResult{c.ignoresSigterm ? SIGKILL : SIGTERM, !c.cancel, c.cancel}));
    EXPECT_GE(elapsed, c.ignoresSigterm ? (c.cancel ? 0.45 : 0.65) : 0.0);
    EXPECT_LT(elapsed, 5.0);
    ASSERT_EQ(collector.lines().size(), 1u);
    EXPECT_TRUE(processGone(std::stoi(collector.lines()[0])));
    // A cancel is for good; a time-out is not.
    EXPECT_EQ(shell(runner, "exit 0"), (CommandResult{c.cancel ? -1 : 0, false, c.cancel}));
}

INSTANTIATE_TEST_SUITE_P(Children, Stopping,
                         ::testing::Values(StopCase{"TimeLimitObeyed", false, false},
                                           StopCase{"TimeLimitIgnored", false, true},
                                           StopCase{"CancelObeyed", true, false},
                                           StopCase{"CancelIgnored", true, true}),
                         [](const auto& info) { return info.param.name; });

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

class LaunchFailure : public ::testing::TestWithParam<const char*> {};

TEST_P(LaunchFailure, ThrowsWithThePathAndLeavesTheRunnerUsable) {
    testing::TempDir dir;
    dir.write("not-executable", "#!/bin/sh\necho hi\n");
    const std::string name = GetParam();
    const std::string path = name.empty() || name[0] == '/' ? name : (dir / name).string();
    ProcessRunner runner;
    try {
        runner.run(path, {"install", "alpha"}, 5);
        ADD_FAILURE() << "expected a launch failure";
    } catch (const CommandError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not launch " + path + ".");
        EXPECT_EQ(error.executablePath(), path);
    }
    EXPECT_FALSE(runner.isCancelled());
    EXPECT_TRUE(shell(runner, "exit 0").succeeded());
}

INSTANTIATE_TEST_SUITE_P(Paths, LaunchFailure,
                         ::testing::Values("/nonexistent/cairnmoor/brew", "not-executable", ""));

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
    const int before = openDescriptorCount();
    ProcessRunner runner;
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(shell(runner, "echo x; echo y >&2").succeeded());
        EXPECT_TRUE(runner.run("/bin/sleep", {"5"}, 0.05).timedOut);
        EXPECT_THROW(runner.run("/nonexistent/x", {}, 1), CommandError);
    }
    // An exception from the callback must still stop and reap the child at once.
    const auto start = Clock::now();
    EXPECT_THROW(shell(runner, "echo x; exec sleep 30", 0,
                       [](const std::string&) { throw std::runtime_error("callback failed"); }),
                 std::runtime_error);
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_FALSE(hasUnreapedChild());
    EXPECT_TRUE(shell(runner, "exit 0").succeeded());
}

TEST(Hygiene, ChildInheritsNoStrayDescriptor) {
#if !((defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)) || defined(__APPLE__))
    GTEST_SKIP() << "this C library cannot close inherited descriptors at spawn";
#endif
    // A descriptor someone else opened without close-on-exec must not reach the child.
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GT(stray, 2);
    ProcessRunner runner;
    Collector collector;
    shell(runner,
          "if { true <&" + std::to_string(stray) +
              "; } 2>/dev/null; then echo open; else echo closed; fi",
          0, collector.handler());
    ::close(stray);
    EXPECT_THAT(collector.lines(), ElementsAre("closed"));
}

TEST(Hygiene, ChildStartsWithDefaultSigpipeAndNothingBlocked) {
    // Ignore SIGPIPE and block SIGTERM here; the child must see neither.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previous), 0);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigset_t previousMask;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask), 0);

    ProcessRunner runner;
    Collector collector;
    // With SIGPIPE at its default, `yes` dies of it (128 + 13) when `head` goes away.
    const CommandResult pipe =
        runner.run("/bin/bash", {"-c", "yes | head -n 1 >/dev/null; echo ${PIPESTATUS[0]}"}, 10,
                   collector.handler());
    const CommandResult term = runner.run("/bin/sleep", {"30"}, 0.2);

    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);

    EXPECT_TRUE(pipe.succeeded());
    EXPECT_THAT(collector.lines(), ElementsAre("141"));
    EXPECT_EQ(term, (CommandResult{SIGTERM, true, false}));
}

} // namespace
} // namespace cairnmoor
