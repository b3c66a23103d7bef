// Profile installs through the fake brew, started as users, launchers and fleet tools start
// them: what each stream shows, the status, and what the manager was asked to do. Exact
// outputs are golden files (golden/*.out, "@BREW@" for the fake's path); other cases name
// the whole lines that must appear, in order.

#include "CliSandbox.hpp"
#include "cli/InterruptWatcher.hpp"
#include "cli/ProcessSetup.hpp"
#include "support/OpenApp.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const Lines survey = {"brew list --cask", "brew list --formula",
                      "brew info --json=v2 --cask alpha"};

struct RunCase {
    std::string name;
    Lines apps;          // of team.cmprofile
    std::string options; // the profile's options; empty: the defaults
    Lines arguments;     // after --profile team.cmprofile
    std::map<std::string, std::string> knobs;
    std::string launcher;
    Lines files; // made empty under the sandbox before the run
    int status;
    std::string golden = {}; // the exact standard output, or
    Lines lines = {};        // whole lines that must appear in this order
    Lines invocations = {};  // what the fake was asked, all of it; empty: not checked
    std::string profile = "team.cmprofile";
    std::string packages = {}; // the profile's "packages", beyond the catalogue
    std::string brewfile = {}; // when set, the run takes this Brewfile instead of the profile
    friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }
};

class Run : public ::testing::TestWithParam<RunCase> {};

TEST_P(Run, ShowsAndReportsWhatHappened) {
    SKIP_WHERE_A_REAL_HOMEBREW_WINS();
    const RunCase& c = GetParam();
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.writeProfile(fs::path(c.profile).lexically_normal().string(), c.apps,
                         (c.options.empty() ? CliSandbox::defaultOptions : c.options) +
                             (c.packages.empty() ? "" : ", \"packages\": " + c.packages));
    if (!c.brewfile.empty()) {
        sandbox.write("work/Brewfile", c.brewfile);
    }
    for (const std::string& file : c.files) {
        sandbox.write(file, "");
    }
    sandbox.environment.insert(c.knobs.begin(), c.knobs.end());
    sandbox.launcher = c.launcher;
    Lines arguments{c.brewfile.empty() ? "--profile" : "--brewfile",
                    c.brewfile.empty() ? c.profile : "Brewfile"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const CliResult result = sandbox.run(arguments);
    EXPECT_EQ(result.status, c.status) << result.out << result.err;
    std::string out = result.out;
    for (const auto& [real, shown] :
         {std::pair(sandbox.brewPath(), "@BREW@"), std::pair(sandbox.home().string(), "HOME")}) {
        for (std::size_t at; (at = out.find(real)) != std::string::npos;) {
            out.replace(at, real.size(), shown);
        }
    }
    if (!c.golden.empty()) {
        EXPECT_EQ(out, readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/cli/golden" / c.golden));
    }
    std::istringstream lines(out);
    std::size_t next = 0;
    for (std::string line; next < c.lines.size() && std::getline(lines, line);) {
        next += line == c.lines[next];
    }
    EXPECT_EQ(next, c.lines.size())
        << "missing: " << c.lines[std::min(next, c.lines.size() - 1)] << "\n"
        << out;
    if (!c.invocations.empty()) {
        EXPECT_EQ(sandbox.invocations(), c.invocations);
    }
    // The command line writes no log file, whatever the profile says.
    EXPECT_FALSE(fs::exists(sandbox.home() / "Library" / "Logs"));
}

const Lines everyCall = {survey[0],           survey[1],
                         survey[2],           "brew install --cask alpha",
                         "brew install beta", "brew cleanup alpha beta"};
// Alpha failed: only Beta is cleaned up after.
const Lines alphaFailed = {survey[0],           survey[1],
                           survey[2],           "brew install --cask alpha",
                           "brew install beta", "brew cleanup beta"};
const std::string noInventory =
    R"({"skipInstalled": false, "upgradeIfPresent": false, "runUpdateFirst": false,
        "writeLog": true, "timeoutSeconds": 60, "prefetch": false})";
std::string existing(const std::string& choice) {
    return R"({"skipInstalled": true, "upgradeIfPresent": true, "runUpdateFirst": false,
               "writeLog": false, "timeoutSeconds": 60, "prefetch": false, "existingApps": ")" +
           choice + "\"}";
}
// Alpha downloaded from the web, Gamma from the App Store.
const Lines onTheMac = {"home/Applications/Alpha.app/Contents/Info.plist",
                        "home/Applications/Gamma.app/Contents/_MASReceipt/receipt"};
const Lines askedAboutBoth = {survey[0], survey[1], "brew info --json=v2 --cask alpha gamma"};
Lines then(Lines first, const Lines& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cli, Run, ::testing::Values(
    // Duplicates count once, the catalogue's order wins, the path shows as typed, and a
    // failure shows as it happens and again after the run.
    RunCase{"FailingPackageInAGoodRun", {"beta", "alpha", "beta"}, "", {}, {{"CAIRNMOOR_FAKE_FAIL", "alpha:3"}}, "", {},
            1, "failing-package.out", {}, alphaFailed, "./profiles/../profiles/team.cmprofile"},
    RunCase{"SilentShowsOnlyFailuresAndSummary", {"alpha", "beta", "gamma"}, "", {"--silent"},
            {{"CAIRNMOOR_FAKE_FAIL", "alpha gamma:7"}}, "", {}, 1, "",
            {"FAILED: Alpha - brew exited with status 1", "FAILED: Gamma - brew exited with status 7",
             "Summary: 3 processed, 2 failed."}},
    // Every saved option reaches the engine; only the manager is overridden (the first
    // --manager decides), and a package left as it was is no failure.
    RunCase{"SavedOptionsAndManagerOverride", {"alpha", "beta"},
            R"({"packageManager": "macports", "skipInstalled": true, "upgradeIfPresent": false,
                "runUpdateFirst": true, "writeLog": true, "timeoutSeconds": 60, "prefetch": false})",
            {"--manager", "homebrew", "--manager", "macports"}, {}, "", {"state/casks/alpha"}, 0, "saved-options.out"},
    // Launchers: our own pipes must not land on closed 0 and 1; statuses of our children
    // are ours to read; writes past a file-size limit fail without killing us.
    RunCase{"StandardStreamsClosed", {"alpha", "beta"}, "", {}, {{"CAIRNMOOR_FAKE_FAIL", "alpha"}}, "exec <&- >&- 2>&-;",
            {}, 1, "", {}, alphaFailed},
    RunCase{"ChildStatusesIgnoredByTheLauncher", {"alpha", "beta"}, "", {}, {}, "trap '' CHLD;", {}, 0, "",
            {"beta: installed"}, everyCall},
    RunCase{"FileSizeLimit", {"alpha", "beta"}, "", {}, {{"CAIRNMOOR_FAKE_FLOOD", "alpha:3000"}}, "ulimit -f 4;", {},
            0, "", {}, everyCall},
    RunCase{"OutOfDescriptors", {"alpha", "beta"}, "", {"--silent"}, {}, "ulimit -n 9;", {}, 1, "",
            {"FAILED: Alpha - Could not launch @BREW@: " + std::string(std::strerror(EMFILE)) + "."}},
    RunCase{"PasswordPromptWithoutATerminal", {"alpha", "beta"}, "", {}, {{"CAIRNMOOR_FAKE_PROMPT", "alpha"}}, "", {},
            1, "", {"FAILED: Alpha - brew exited with status 1 (it needed an administrator password and had no "
                    "terminal to ask for it: run Cairnmoor in a terminal, or install this package by hand)"}},
    // A warning is shown, escaped like anything a child prints, and is no inventory.
    RunCase{"InventoryWarning", {"alpha", "beta"}, "", {},
            {{"CAIRNMOOR_FAKE_LIST_WARNING", "Warning: \x1b[2Jtaps\rare untrusted"}}, "", {}, 0, "",
            {"Warning: \\u{1b}[2Jtaps\\rare untrusted", "beta: installed"}, everyCall},
    RunCase{"InventoryLineNotText", {"alpha", "beta"}, "", {}, {{"CAIRNMOOR_FAKE_LIST_GARBAGE", "caf\\351"}}, "", {},
            1, "", {"Unexpected Homebrew inventory output: caf\uFFFD",
                    "FAILED: Beta - Unexpected Homebrew inventory output: caf\uFFFD"}},
    // Apps already on the Mac, not from Homebrew: as chosen, never overwritten unasked.
    RunCase{"ExistingSkipped", {"alpha", "beta", "gamma"}, existing("skip"), {}, {}, "", onTheMac, 0, "",
            {"alpha: installedOutside", "beta: installed", "gamma: installedOutside"},
            then(askedAboutBoth, {"brew install beta", "brew cleanup beta"})},
    RunCase{"ExistingAdopted", {"alpha", "gamma"}, existing("adopt"), {}, {}, "", onTheMac, 0, "",
            {"$ brew install --cask --adopt alpha", "alpha: installed", "gamma: installedOutside"},
            then(askedAboutBoth, {"brew install --cask --adopt alpha", "brew cleanup alpha"})},
    RunCase{"AdoptionFailingNeverOverwrites", {"alpha", "gamma"}, existing("adopt"), {}, {{"CAIRNMOOR_FAKE_FAIL", "alpha"}},
            "", onTheMac, 1, "", {"FAILED: Alpha - brew exited with status 1"}, then(askedAboutBoth, {"brew install --cask --adopt alpha"})},
    RunCase{"ExistingReplacedButNotTheAppStoreOne", {"alpha", "gamma"}, existing("replace"), {}, {}, "", onTheMac, 0, "",
            {"alpha: installed", "gamma: installedOutside"}, then(askedAboutBoth, {"brew install --cask --force alpha", "brew cleanup alpha"})},
    // Without an answer from Homebrew the run goes on as before it knew of such apps.
    RunCase{"QuestionAboutAppsFails", {"alpha", "gamma"}, existing("skip"), {}, {{"CAIRNMOOR_FAKE_FAIL", "@info"}}, "",
            onTheMac, 1, "", {"Apps installed outside Homebrew cannot be detected in this run (brew exited with status 1).",
                              "FAILED: Alpha - brew exited with status 1"},
            then(askedAboutBoth, {"brew install --cask alpha", "brew install --cask gamma"})},
    RunCase{"DryRunChangesNothing", {"alpha", "beta", "gamma"}, existing("adopt"), {"--dry-run", "--silent"}, {}, "", onTheMac,
            0, "", {"alpha: adopt the app at HOME/Applications/Alpha.app", "beta: install",
                    "gamma: installed from the App Store at HOME/Applications/Gamma.app, skipped"}, askedAboutBoth},
    RunCase{"CheckListsWhatIsMissing", {"alpha", "beta", "gamma"}, noInventory, {"--check"}, {}, "", onTheMac, 1, "",
            {"beta: not installed"}, askedAboutBoth},
    RunCase{"CheckPassesWhenAllIsThereOneWayOrAnother", {"alpha", "beta"}, "", {"--check"}, {}, "",
            {"home/Applications/Alpha.app/Contents/Info.plist", "state/formulae/beta"}, 0, "", {}, survey},
    // Packages beyond the catalogue run as entries of the same plan, by their names; one
    // from an untrusted tap says which tap and how to trust it.
    RunCase{"PackagesBeyondTheCatalogue", {"alpha"}, "", {}, {{"CAIRNMOOR_FAKE_UNTRUSTED", "user/tap/tool"}}, "", {}, 1, "",
            {"formula:ripgrep: installed", "FAILED: user/tap/tool - Homebrew refuses to load it from the untrusted tap "
             "user/tap. Trust it with `brew trust --cask user/tap/tool` (this cask only) or `brew trust user/tap` (the "
             "whole tap), or with `trusted: true` on the tap's line in a Brewfile, then install again.",
             "Summary: 3 processed, 1 failed."},
            {survey[0], survey[1], "brew info --json=v2 --cask alpha user/tap/tool", "brew install --cask alpha",
             "brew install ripgrep", "brew install --cask user/tap/tool", "brew cleanup alpha ripgrep"},
            "team.cmprofile", R"([{"name": "ripgrep", "type": "formula"}, {"name": "user/tap/tool", "type": "cask"}])"},
    RunCase{"PackagesInADryRun", {}, "", {"--dry-run", "--silent"}, {}, "", {"state/formulae/ripgrep"}, 0, "",
            {"formula:ripgrep: upgrade", "cask:ripgrep: install"}, {}, "team.cmprofile",
            R"([{"name": "ripgrep", "type": "formula"}, {"name": "ripgrep", "type": "cask"}])"},
    // A Brewfile is a profile with the default options: catalogue packages by their ids.
    RunCase{"BrewfileInstalled", {}, "", {}, {}, "", {}, 0, "",
            {"beta: installed", "cask:user/tap/tool: installed", "Summary: 2 processed, 0 failed."},
            {survey[0], survey[1], "brew info --json=v2 --cask user/tap/tool", "brew fetch --cask user/tap/tool",
             "brew fetch --formula beta", "brew install beta", "brew install --cask user/tap/tool",
             "brew cleanup beta user/tap/tool"}, "team.cmprofile", "",
            "tap \"user/tap\"\nbrew \"beta\"\nmas \"Xcode\", id: 497799835\ncask 'user/tap/tool' # ours\n"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

class Field : public SandboxTest {};

TEST_F(Field, AReaderThatLeavesDoesNotStopTheRun) {
    // Nobody reads from the start (`Cairnmoor ... | head`, the head gone): the run goes on
    // to its end instead of being killed with the manager running on alone.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    sandbox.outputDescriptor = ends[1];
    EXPECT_EQ(sandbox.run({"--profile", "team.cmprofile"}).status, 0);
    ::close(ends[1]);
    EXPECT_EQ(sandbox.invocations().back(), "brew cleanup alpha beta");
}

TEST_F(Field, AnOpenAppIsLeftAloneAndNamedAtTheEnd) {
    sandbox.write("state/casks/alpha", "");
    sandbox.run({"--version"}); // hands the sandbox to its user, who can then start the app
    OpenApp open(sandbox.home() / "Applications/Alpha.app", false, sandbox.user.c_str());
    EXPECT_EQ(sandbox.run({"--profile", "team.cmprofile", "--dry-run"}).out,
              "alpha: upgrade, but it is running: skipped\nbeta: install\n");
    const CliResult result = sandbox.run({"--profile", "team.cmprofile", "--silent"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Summary: 2 processed, 0 failed, 1 skipped: running.\n"
                          "Left alone because they were open: Alpha.app. Quit them and run "
                          "again.\n");
    EXPECT_EQ(sandbox.invocations().back(), "brew cleanup beta");
    EXPECT_TRUE(open.running());
}

TEST_F(Field, HostileNamesIdentifiersAndPathsAreEscaped) {
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
}

TEST_F(Field, WindowThatCannotStartSaysSoInOneLine) {
    // A mistyped option on a machine without a display: not a crash, one clear line.
    const CliResult result = sandbox.run({"--profile=team.cmprofile"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
}

// One Mac captured (casks, formulae asked for, not their dependencies, an app found outside
// Homebrew) installs the same on another; a capture never replaces a file, and one whose
// inventory fails writes nothing.
TEST_F(Field, ACapturedMacInstallsTheSameOnAnother) {
    for (const char* file :
         {"state/casks/alpha", "state/casks/user/tap/tool", "state/formulae/beta",
          "state/formulae/ripgrep", "home/Applications/Gamma.app/Contents/Info"}) {
        sandbox.write(file, "1.0.0\n");
    }
    sandbox.write("state/formulae/pcre2", "1.0.0\ndependency\n");
    CliResult result = sandbox.run({"--capture", "old-mac.cmprofile"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(
        result.out.find("Saved old-mac.cmprofile: 2 catalogue apps, 2 other packages, 1 found "
                        "outside Homebrew."),
        std::string::npos)
        << result.out;
    result = sandbox.run({"--capture", "old-mac.cmprofile", "--silent"});
    EXPECT_EQ(result.out, "old-mac.cmprofile exists; the profile went to old-mac-2.cmprofile.\n"
                          "Found outside Homebrew: gamma.\n"
                          "Saved old-mac-2.cmprofile: 2 catalogue apps, 2 other packages, 1 found "
                          "outside Homebrew.\n");
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "@list";
    result = sandbox.run({"--capture", "broken.cmprofile"});
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(sandbox.work() / "broken.cmprofile"));

    // A Brewfile's lines that are not used are told, by number, and the rest still runs.
    sandbox.environment.erase("CAIRNMOOR_FAKE_FAIL");
    sandbox.write("work/Brewfile", "tap \"user/tap\", trusted: true\nbrew \"beta\"\n"
                                   "mas \"Xcode\", id: 497799835\nbrew \"x\" if OS.mac?\n");
    result = sandbox.run({"--brewfile", "Brewfile", "--dry-run", "--silent"});
    EXPECT_EQ(result.out, "beta: upgrade\n");
    EXPECT_EQ(result.err,
              "Brewfile:3: not used (a mas entry; Cairnmoor installs only brew and cask "
              "entries): mas \"Xcode\", id: 497799835\n"
              "Brewfile:4: not used (it has a Ruby condition; Cairnmoor does not run "
              "the Brewfile): brew \"x\" if OS.mac?\n"
              "Brewfile:1: the tap user/tap is not added or trusted by Cairnmoor; its "
              "packages install by their full names (user/repo/name), and need `brew "
              "trust user/tap` first\n");

    CliSandbox other;
    other.writeCatalogue();
    other.write("work/mac.cmprofile", readFile(sandbox.work() / "old-mac.cmprofile"));
    result = other.run({"--profile", "mac.cmprofile", "--silent"});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    Lines installs;
    for (const std::string& line : other.invocations()) {
        if (line.starts_with("brew install")) {
            installs.push_back(line);
        }
    }
    EXPECT_EQ(installs,
              (Lines{"brew install --cask alpha", "brew install beta", "brew install --cask gamma",
                     "brew install --cask user/tap/tool", "brew install ripgrep"}));
}

// Closed standard streams come back on /dev/null, each open the way it is used, so that
// nothing we open later takes the number and gets what is written to the stream.
TEST(ProcessSetup, ClosedStandardStreamsComeBackOnDevNull) {
    const pid_t child = ::fork();
    if (child == 0) {
        for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
            ::close(fd);
        }
        ProcessSetup::normalise();
        struct stat null {};
        struct stat stream {};
        ::stat("/dev/null", &null);
        for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
            if (::fstat(fd, &stream) != 0 || stream.st_rdev != null.st_rdev ||
                (::fcntl(fd, F_GETFL) & O_ACCMODE) != (fd == STDIN_FILENO ? O_RDONLY : O_WRONLY)) {
                ::_exit(10 + fd);
            }
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0) << "10 + n: descriptor n is not /dev/null open for its use";
}

// Of two signals the first is the interrupt: it alone reaches the handler and the status.
TEST(InterruptWatcher, TheFirstOfTwoSignalsDecides) {
    // A launcher's background job ignores SIGINT, and an ignored signal stays ignored.
    const auto launchers = std::signal(SIGINT, SIG_DFL);
    std::vector<int> heard;
    InterruptWatcher watcher([&](int signalNumber) { heard.push_back(signalNumber); });
    ::raise(SIGTERM);
    ::raise(SIGINT);
    watcher.stop();
    EXPECT_EQ(watcher.signalNumber(), SIGTERM);
    EXPECT_EQ(heard, std::vector<int>{SIGTERM});
    std::signal(SIGINT, launchers);
}

} // namespace
} // namespace cairnmoor::testing
