// The pieces of the command line that can be checked inside the test process: the
// arguments that hand over to the window, the quoting of failure messages, and the
// interrupt watcher.

#include "CliSandbox.hpp"
#include "cli/CLI.hpp"
#include "cli/InterruptWatcher.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

namespace cairnmoor {
namespace {

TEST(CommandLineHandOver, ArgumentsWithoutProfileOrManagerStartTheWindowSilently) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--silent"},
        {"--profile=team.cmprofile", "-v"},
        {"--PROFILE", "team.cmprofile"},
        {"--managers", "homebrew", "team.cmprofile"},
        {"-hv", "--help=1", "--versions"}};
    for (const auto& arguments : cases) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const auto status = CLI::run(arguments);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(status.has_value()) << "arguments: " << ::testing::PrintToString(arguments);
    }
}

// Whatever the manager said, its failure stays on one progress line and cannot restyle
// the terminal; printable text, UTF-8 included, is left alone.
TEST(FailureMessageLiteral, EscapesWhatCouldBreakOrRestyleTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"(say "hi" it's C:\path\)", R"("say \"hi\" it's C:\\path\\")"},
        {std::string("a\nb\rc\td\0end", 11), R"("a\nb\rc\td\0end")"},
        {"\x1b[31mred\x1b[0m\x7f\x01", R"("\u{1b}[31mred\u{1b}[0m\u{7f}\u{1}")"},
        {"next\u0085line \u009b", R"("next\u{85}line \u{9b}")"},
        {"caf\u00e9 \u2014 \U0001F600 \u00c2", "\"caf\u00e9 \u2014 \U0001F600 \u00c2\""},
        {"cut \xc2 \xff", "\"cut \uFFFD \uFFFD\""}};
    for (const auto& [text, literal] : cases) {
        EXPECT_EQ(CLI::stringLiteral(text), literal);
    }
    EXPECT_EQ(CLI::stateText(PackageState::failed("Could not launch /a \"b\".")),
              R"(failed("Could not launch /a \"b\"."))");
}

// The callback runs on the watcher's own thread, not in a signal handler, and only
// for the first signal; stopping puts the earlier handling back.
TEST(InterruptWatching, FirstSignalIsPassedOnOnceAndHandlingRestored) {
    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);
    const std::thread::id testThread = std::this_thread::get_id();
    std::atomic<int> calls = 0, caught = 0;
    std::atomic<bool> onTestThread = true;
    {
        InterruptWatcher watcher([&](int signalNumber) {
            caught = signalNumber;
            onTestThread = std::this_thread::get_id() == testThread;
            ++calls;
        });
        EXPECT_EQ(watcher.signalNumber(), 0);
        // Without the watcher each of these would end the test process.
        ASSERT_EQ(::raise(SIGTERM), 0);
        ASSERT_TRUE(testing::eventually([&] { return calls > 0; }));
        ASSERT_EQ(::raise(SIGINT), 0);
        ASSERT_EQ(::raise(SIGHUP), 0);
        watcher.stop();
        EXPECT_EQ(watcher.signalNumber(), SIGTERM);
        watcher.stop();
    }
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(caught, SIGTERM);
    EXPECT_FALSE(onTestThread);
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

} // namespace
} // namespace cairnmoor
