#include "managers/ProcessRunner.hpp"

#include "managers/CommandError.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <mutex>
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
    // Waits (with a deadline) until a line equal to `line` has arrived.
    bool waitFor(const std::string& line, std::chrono::seconds limit = 10s) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, limit, [&] {
            return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
        });
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

// Every descriptor this process has open, so a test can prove a run leaves none behind.
int openDescriptorCount() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) {
            ++count;
        }
    }
    return count;
}

bool hasUnreapedChild() {
    int status = 0;
    const pid_t result = ::waitpid(-1, &status, WNOHANG);
    return !(result == -1 && errno == ECHILD);
}

// Waits (with a deadline) until no process with this identifier exists.
bool processGone(pid_t processId, std::chrono::seconds limit = 5s) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (::kill(processId, 0) != 0 && errno == ESRCH) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// --- Output delivery -------------------------------------------------------------------

struct OutputCase {
    const char* name;
    const char* script;
    std::vector<std::string> lines;
};

class OutputDelivery : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputDelivery, DeliversExactlyTheValidLinesInOrder) {
    ProcessRunner runner;
    Collector collector;
    const CommandResult result = shell(runner, GetParam().script, 0, collector.handler());
    EXPECT_TRUE(result.succeeded());
    EXPECT_THAT(collector.lines(), ElementsAreArray(GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OutputDelivery,
    ::testing::Values(
        OutputCase{"LastLineWithoutLineFeed", "printf 'a\\nb'", {"a", "b"}},
        OutputCase{"CarriageReturnKept", "printf 'x\\r\\n'", {"x\r"}},
        OutputCase{"EmptyLines", "printf '\\n\\n'", {"", ""}}, OutputCase{"NoOutput", "true", {}},
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
                   {"one", "two", "three"}}),
    [](const auto& info) { return info.param.name; });

TEST(OutputVolume, HundredMegabytesArriveCompleteAndInOrder) {
    // One million lines of 100 bytes each, numbered so any loss or reordering shows.
    constexpr long lineCount = 1'000'000;
    ProcessRunner runner;
    long expected = 0;
    bool inOrder = true;
    std::size_t bytes = 0;
    const CommandResult result = runner.run(
        "/usr/bin/awk",
        {"BEGIN { pad = sprintf(\"%90s\", \"\"); for (i = 0; i < 1000000; i++) printf \"%09d "
         "%s\\n\", i, pad }"},
        0, [&](const std::string& line) {
            inOrder = inOrder && line.size() == 100 && std::stol(line.substr(0, 9)) == expected;
            ++expected;
            bytes += line.size() + 1;
        });
    EXPECT_TRUE(result.succeeded());
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, lineCount);
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

// --- Exit status -----------------------------------------------------------------------

struct StatusCase {
    const char* name;
    const char* script;
    CommandResult expected;
};

class ExitStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ExitStatus, IsReportedAsAResultNotAnError) {
    ProcessRunner runner;
    const CommandResult result = shell(runner, GetParam().script);
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(result.succeeded(), GetParam().expected.exitCode == 0);
}

INSTANTIATE_TEST_SUITE_P(Statuses, ExitStatus,
                         ::testing::Values(StatusCase{"Zero", "exit 0", {0, false, false}},
                                           StatusCase{"One", "exit 1", {1, false, false}},
                                           StatusCase{"Seven", "exit 7", {7, false, false}},
                                           // A child ended by a signal reports its number.
                                           StatusCase{"Killed", "kill -9 $$", {9, false, false}}),
                         [](const auto& info) { return info.param.name; });

// --- Time limit ------------------------------------------------------------------------

class NoTimeLimit : public ::testing::TestWithParam<double> {};

TEST_P(NoTimeLimit, LetsTheChildFinish) {
    // Zero, negative and NaN mean no limit; huge values must not wrap into the past.
    ProcessRunner runner;
    const CommandResult result = shell(runner, "sleep 0.3; exit 0", GetParam());
    EXPECT_EQ(result, (CommandResult{0, false, false}));
}

INSTANTIATE_TEST_SUITE_P(Limits, NoTimeLimit,
                         ::testing::Values(0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                                           9.223372036854775807e18, 1e300,
                                           std::numeric_limits<double>::infinity()));

TEST(TimeLimit, EndsAChildThatRunsTooLongWithSigterm) {
    ProcessRunner runner;
    const auto start = Clock::now();
    const CommandResult result = runner.run("/bin/sleep", {"30"}, 0.2);
    EXPECT_EQ(result, (CommandResult{SIGTERM, true, false}));
    EXPECT_FALSE(result.succeeded());
    EXPECT_LT(secondsSince(start), 5.0);
}

TEST(TimeLimit, KillsAChildIgnoringSigtermAfterTheGracePeriod) {
    ProcessRunner runner;
    const auto start = Clock::now();
    const CommandResult result = shell(runner, "trap '' TERM; exec sleep 30", 0.2);
    const double elapsed = secondsSince(start);
    EXPECT_EQ(result, (CommandResult{SIGKILL, true, false}));
    EXPECT_GE(elapsed, 0.65);
    EXPECT_LT(elapsed, 5.0);
}

TEST(TimeLimit, ReachesEveryProcessOfTheGroup) {
    ProcessRunner runner;
    Collector collector;
    const CommandResult result =
        shell(runner, "sleep 30 & echo $!; trap '' TERM; wait", 0.2, collector.handler());
    EXPECT_TRUE(result.timedOut);
    ASSERT_EQ(collector.lines().size(), 1u);
    EXPECT_TRUE(processGone(std::stoi(collector.lines()[0])));
}

// --- Cancellation ----------------------------------------------------------------------

TEST(Cancellation, BeforeTheRunStartsNothing) {
    testing::TempDir dir;
    ProcessRunner runner;
    runner.cancel();
    EXPECT_TRUE(runner.isCancelled());
    const CommandResult result = shell(runner, "touch '" + (dir / "ran").string() + "'");
    EXPECT_EQ(result, (CommandResult{-1, false, true}));
    EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
}

struct CancelCase {
    const char* name;
    const char* script;
    int exitCode;
    double minimumSeconds;
};

class CancelWhileRunning : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelWhileRunning, StopsTheChildAndEveryLaterRun) {
    ProcessRunner runner;
    Collector collector;
    std::thread canceller([&] {
        if (collector.waitFor("ready")) {
            runner.cancel();
        }
    });
    const auto start = Clock::now();
    const CommandResult result = shell(runner, GetParam().script, 0, collector.handler());
    const double elapsed = secondsSince(start);
    canceller.join();
    EXPECT_EQ(result, (CommandResult{GetParam().exitCode, false, true}));
    EXPECT_GE(elapsed, GetParam().minimumSeconds);
    EXPECT_LT(elapsed, 5.0);
    EXPECT_EQ(shell(runner, "exit 0"), (CommandResult{-1, false, true}));
}

INSTANTIATE_TEST_SUITE_P(
    Children, CancelWhileRunning,
    ::testing::Values(CancelCase{"ObeysSigterm", "echo ready; exec sleep 30", SIGTERM, 0.0},
                      CancelCase{"IgnoresSigterm", "trap '' TERM; echo ready; exec sleep 30",
                                 SIGKILL, 0.45}),
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
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_FALSE(hasUnreapedChild());
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

TEST(Hygiene, ExceptionFromTheCallbackStopsAndReapsTheChild) {
    ProcessRunner runner;
    const auto start = Clock::now();
    EXPECT_THROW(shell(runner, "echo x; exec sleep 30", 0,
                       [](const std::string&) { throw std::runtime_error("callback failed"); }),
                 std::runtime_error);
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_FALSE(hasUnreapedChild());
    EXPECT_TRUE(shell(runner, "exit 0").succeeded());
}

} // namespace
} // namespace cairnmoor
