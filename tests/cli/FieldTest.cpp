// The headless install as the field starts it: launchers and daemons that close
// standard streams or ignore signals, limits, terminals and password prompts, a reader
// that stalls, a manager that prints warnings or bytes that are not text, and hostile
// names. Every case runs the built executable against the fake brew.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> everyCall = {"brew list --cask", "brew list --formula",
                                            "brew info --json=v2 --cask alpha",
                                            "brew install --cask alpha", "brew install beta"};

bool hasLine(const std::string& text, const std::string& line) {
    std::istringstream lines(text);
    for (std::string candidate; std::getline(lines, candidate);) {
        if (candidate == line) {
            return true;
        }
    }
    return false;
}

class Field : public ::testing::Test {
protected:
    void SetUp() override {
        if (CliSandbox::realHomebrewInTheWay()) {
            GTEST_SKIP() << "a real Homebrew would be found before the fake";
        }
        sandbox.writeCatalogue();
        sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    }
    CliSandbox sandbox;
};

struct LaunchCase {
    std::string name;
    std::string launcher;
    std::map<std::string, std::string> knobs;
    int status;
    std::vector<std::string> lines; // each must be a whole line of the output
    friend void PrintTo(const LaunchCase& c, std::ostream* os) { *os << c.name; }
};

class Launch : public Field, public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(Launch, InstallsAndReportsTheRightStatus) {
    const LaunchCase& c = GetParam();
    sandbox.launcher = c.launcher;
    sandbox.environment.insert(c.knobs.begin(), c.knobs.end());
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    EXPECT_EQ(result.status, c.status) << result.out << result.err;
    for (const std::string& line : c.lines) {
        EXPECT_TRUE(hasLine(result.out, line)) << "missing: " << line << "\n" << result.out;
    }
    if (c.lines.empty() || c.status == 0) {
        EXPECT_EQ(sandbox.invocations(), everyCall);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Launch,
    ::testing::Values(
        // Our own pipes must not land on 0 and 1 and be taken for standard streams.
        LaunchCase{"StandardStreamsClosed",
                   "exec <&- >&- 2>&-;",
                   {{"CAIRNMOOR_FAKE_FAIL", "alpha"}},
                   1,
                   {}},
        LaunchCase{
            "ChildStatusesIgnoredByTheLauncher", "trap '' CHLD;", {}, 0, {"beta: installed"}},
        // Writes beyond the limit fail; they must not kill us with the manager running.
        LaunchCase{
            "FileSizeLimit", "ulimit -f 1;", {{"CAIRNMOOR_FAKE_FLOOD", "alpha:3000"}}, 0, {}},
        LaunchCase{"PasswordPromptWithoutATerminal",
                   "",
                   {{"CAIRNMOOR_FAKE_PROMPT", "alpha"}},
                   1,
                   {"FAILED: Alpha - brew exited with status 1 (it needed an administrator "
                    "password and had no terminal to ask for it: run Cairnmoor in a terminal, or "
                    "install this package by hand)"}},
        // A warning is shown, escaped like anything a child prints, and is no inventory.
        LaunchCase{"InventoryWarning",
                   "",
                   {{"CAIRNMOOR_FAKE_LIST_WARNING", "Warning: \x1b[2Jtaps\rare untrusted"}},
                   0,
                   {"Warning: \\u{1b}[2Jtaps\\rare untrusted", "beta: installed"}},
        LaunchCase{"InventoryLineNotText",
                   "",
                   {{"CAIRNMOOR_FAKE_LIST_GARBAGE", "caf\\351"}},
                   1,
                   {"Unexpected Homebrew inventory output: caf\uFFFD",
                    "FAILED: Beta - Unexpected Homebrew inventory output: caf\uFFFD"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(Field, OutOfDescriptorsSaysSo) {
    sandbox.launcher = "ulimit -n 9;";
    const CliResult result = sandbox.run({"--profile", "team.cmprofile", "--silent"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(hasLine(result.out, "FAILED: Alpha - Could not launch " + sandbox.brewPath() +
                                        ": " + std::strerror(EMFILE) + "."))
        << result.out;
}

// nohup, or a script's background job: the ignored signal stays ignored; only the
// SIGTERM that follows stops the run.
class IgnoredSignal : public Field, public ::testing::WithParamInterface<int> {};

TEST_P(IgnoredSignal, StaysIgnored) {
    sandbox.launcher = "trap '' " + std::to_string(GetParam()) + ";";
    sandbox.environment["CAIRNMOOR_FAKE_HANG"] = "beta";
    const pid_t pid = sandbox.start({"--profile", "team.cmprofile"});
    ASSERT_TRUE(
        eventually([&] { return sandbox.outputSoFar().ends_with("==> Downloading beta\n"); }));
    ::kill(pid, GetParam());
    ::kill(pid, SIGTERM);
    const CliResult result = sandbox.finish(pid);
    EXPECT_EQ(result.status, 128 + SIGTERM);
    EXPECT_TRUE(hasLine(result.out, "beta: skipped"));
}

INSTANTIATE_TEST_SUITE_P(Cli, IgnoredSignal, ::testing::Values(SIGHUP, SIGINT, SIGQUIT));

TEST_F(Field, StalledReaderDoesNotStopTheClock) {
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

TEST_F(Field, HostileNamesAndIdentifiersAreEscaped) {
    std::string catalogue = CliSandbox::catalogue;
    catalogue.replace(catalogue.find("\"Alpha\""), 7, R"("Al\u001b[2J\npha")");
    sandbox.writeCatalogue(catalogue);
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "alpha";
    CliResult result = sandbox.run({"--profile", "team.cmprofile", "--silent"});
    EXPECT_EQ(result.out, "FAILED: Al\\u{1b}[2J\\npha - brew exited with status 1\n"
                          "Summary: 2 processed, 1 failed.\n");
    // Every unknown identifier appears, a NUL in one of them included.
    sandbox.write("work/odd.cmprofile", R"({"schema": 2, "created": "", "apps": ["alpha",
        "zz\u0000hidden", "x\u001b]0;title\u0007"], "options": )" +
                                            CliSandbox::defaultOptions + "}");
    result = sandbox.run({"--profile", "odd.cmprofile"});
    EXPECT_EQ(result.err, "Unknown catalogue IDs: x\\u{1b}]0;title\\u{7}, zz\\0hidden.\n");
    EXPECT_EQ(result.status, 2);
    // A path from the command line is escaped too.
    result = sandbox.run({"--profile", "\x1b[2J.cmprofile"});
    EXPECT_EQ(result.err, "could not read profile \\u{1b}[2J.cmprofile: \\u{1b}[2J.cmprofile: No "
                          "such file or directory\n");
}

TEST_F(Field, OversizedOrTrailingBytesProfileIsRefused) {
    const std::string badFormat =
        "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
    sandbox.write("work/big.cmprofile", "");
    fs::resize_file(sandbox.work() / "big.cmprofile", (std::uintmax_t{64} << 20) + 1);
    CliResult result = sandbox.run({"--profile", "big.cmprofile"});
    EXPECT_EQ(result.err, "could not read profile big.cmprofile: big.cmprofile: The file is larger "
                          "than 64 MiB, too large to be read\n");
    EXPECT_EQ(result.status, 1);
    const std::string profile = R"({"schema": 2, "created": "", "apps": ["alpha"], "options": )" +
                                CliSandbox::defaultOptions + "}";
    sandbox.write("work/nul.cmprofile", profile + std::string(1, '\0') + "{}");
    result = sandbox.run({"--profile", "nul.cmprofile"});
    EXPECT_EQ(result.err, "could not read profile nul.cmprofile: " + badFormat + "\n");
    EXPECT_TRUE(sandbox.invocations().empty());
}

TEST_F(Field, WindowThatCannotStartSaysSoInOneLine) {
    // A mistyped option on a machine without a display: not a crash, one clear line.
    sandbox.environment.erase("DISPLAY");
    const CliResult result = sandbox.run({"--profile=team.cmprofile"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
}

// --- A terminal: the person can answer a prompt, and Ctrl-C still stops everything ---

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

struct TerminalCase {
    std::string name;
    bool background;
    std::string answer; // typed at "Password:", or empty
    int status;
    std::string lastLine;
    friend void PrintTo(const TerminalCase& c, std::ostream* os) { *os << c.name; }
};

class InTerminal : public Field, public ::testing::WithParamInterface<TerminalCase> {};

TEST_P(InTerminal, PromptReachesThePersonInTheForegroundOnly) {
    const TerminalCase& c = GetParam();
    sandbox.environment["CAIRNMOOR_FAKE_PROMPT"] = "alpha";
    int terminal = -1;
    const pid_t pid =
        sandbox.startInTerminal({"--profile", "team.cmprofile"}, c.background, terminal);
    std::string seen;
    if (!c.answer.empty()) {
        ASSERT_NE(readUntil(terminal, "Password:", seen).find("Password:"), std::string::npos)
            << seen;
        ASSERT_EQ(::write(terminal, c.answer.data(), c.answer.size()),
                  static_cast<ssize_t>(c.answer.size()));
    }
    readUntil(terminal, c.lastLine, seen);
    const CliResult result = sandbox.finish(pid);
    ::close(terminal);
    EXPECT_EQ(result.status, c.status) << seen;
    EXPECT_NE(seen.find(c.lastLine), std::string::npos) << seen;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, InTerminal,
    ::testing::Values(
        TerminalCase{"Answered", false, "secret\n", 0, "Summary: 2 processed, 0 failed."},
        TerminalCase{"CtrlC", false, "\x03", 128 + SIGINT,
                     "alpha: skipped\r\nbeta: skipped\r\nSummary: 2 processed, 0 failed."},
        // A background job cannot be asked: it fails at once instead of waiting unseen.
        TerminalCase{"BackgroundJob", true, "", 1,
                     "(it needed an administrator password and had no terminal to ask for it"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace cairnmoor::testing
