// The pieces of the command line that can be checked inside the test process: the
// arguments that hand over to the window, the quoting of failure messages, and the
// interrupt watcher.

#include "cli/CLI.hpp"
#include "cli/InterruptWatcher.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

namespace cairnmoor {
namespace {

TEST(CommandLineHandOver, ArgumentsWithoutProfileOrManagerStartTheWindowSilently) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--silent"},
        {"-v"},
        {"--profile=team.cmprofile"},
        {"--PROFILE", "team.cmprofile"},
        {"--managers", "homebrew", "team.cmprofile"},
        {"-hv", "--help=1", "--versions"},
    };
    for (const auto& arguments : cases) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const auto status = CLI::run(arguments);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(status.has_value()) << "arguments: " << ::testing::PrintToString(arguments);
    }
}

struct LiteralCase {
    std::string text;
    std::string literal;
};

class FailureMessageLiteral : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(FailureMessageLiteral, EscapesWhatCouldBreakOrRestyleTheLine) {
    EXPECT_EQ(CLI::stringLiteral(GetParam().text), GetParam().literal);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, FailureMessageLiteral,
    ::testing::Values(
        LiteralCase{"", R"("")"},
        LiteralCase{"brew exited with status 1", R"("brew exited with status 1")"},
        LiteralCase{R"(say "hi")", R"("say \"hi\"")"},
        LiteralCase{R"(C:\path\)", R"("C:\\path\\")"}, LiteralCase{"it's", R"("it's")"},
        LiteralCase{"a\nb\rc\td", R"("a\nb\rc\td")"},
        LiteralCase{std::string("nul\0end", 7), R"("nul\0end")"},
        LiteralCase{"\x1b[31mred\x1b[0m\x7f\x01", R"("\u{1b}[31mred\u{1b}[0m\u{7f}\u{1}")"},
        LiteralCase{"next\u0085line \u009b", R"("next\u{85}line \u{9b}")"},
        LiteralCase{"caf\u00e9 \u2014 \U0001F600 \u00c2", "\"caf\u00e9 \u2014 \U0001F600 \u00c2\""},
        LiteralCase{"cut \xc2", "\"cut \xc2\""}));

TEST(ProgressStateText, CaseNamesAndQuotedFailure) {
    EXPECT_EQ(CLI::stateText(PackageState::pending()), "pending");
    EXPECT_EQ(CLI::stateText(PackageState::installing()), "installing");
    EXPECT_EQ(CLI::stateText(PackageState::installed()), "installed");
    EXPECT_EQ(CLI::stateText(PackageState::alreadyPresent()), "alreadyPresent");
    EXPECT_EQ(CLI::stateText(PackageState::skipped()), "skipped");
    EXPECT_EQ(CLI::stateText(PackageState::failed("Could not launch /a \"b\".")),
              R"(failed("Could not launch /a \"b\"."))");
}

// Waits on the watcher's own thread calling back.
struct Calls {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> signals;
    std::thread::id thread;

    bool waitFor(std::size_t count) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(10),
                                [&] { return signals.size() >= count; });
    }
};

class InterruptWatching : public ::testing::TestWithParam<int> {};

TEST_P(InterruptWatching, SignalIsPassedOnOnceAndHandlingRestored) {
    const int signalNumber = GetParam();
    struct sigaction before {};
    ::sigaction(signalNumber, nullptr, &before);

    Calls calls;
    {
        InterruptWatcher watcher([&](int caught) {
            const std::lock_guard guard(calls.lock);
            calls.signals.push_back(caught);
            calls.thread = std::this_thread::get_id();
            calls.changed.notify_all();
        });
        EXPECT_EQ(watcher.signalNumber(), 0);
        // Without the watcher each of these would end the test process.
        ASSERT_EQ(::raise(signalNumber), 0);
        ASSERT_TRUE(calls.waitFor(1));
        ASSERT_EQ(::raise(SIGINT), 0);
        ASSERT_EQ(::raise(signalNumber), 0);
        watcher.stop();
        EXPECT_EQ(watcher.signalNumber(), signalNumber);
        watcher.stop();
    }
    EXPECT_EQ(calls.signals, std::vector<int>{signalNumber});
    EXPECT_NE(calls.thread, std::this_thread::get_id());

    struct sigaction after {};
    ::sigaction(signalNumber, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

INSTANTIATE_TEST_SUITE_P(Cli, InterruptWatching, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST(InterruptWatcherLifetime, OneAtATimeAndFreshAfterStop) {
    {
        InterruptWatcher first([](int) {});
        EXPECT_THROW(InterruptWatcher([](int) {}), std::logic_error);
        ::raise(SIGHUP);
    }
    // A new watcher starts without the earlier watcher's signal.
    InterruptWatcher second([](int) {});
    second.stop();
    EXPECT_EQ(second.signalNumber(), 0);
}

} // namespace
} // namespace cairnmoor
