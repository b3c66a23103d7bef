#include "export/ScriptExporter.hpp"

#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

// The generated texts are compared with the worked examples in golden/, read back by bash,
// linted, and run by real bash against the fake manager.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Manager = PackageManager;

AppEntry app(const std::string& name, const std::string& brew, const std::string& type = "formula",
             std::optional<std::string> port = std::nullopt) {
    return AppEntry{brew, name, "", "", "", "", MacOSInfo{brew, type, std::move(port)}, {}};
}
AppEntry port(const std::string& name, const std::string& port) {
    return app(name, port, "formula", port);
}
AppEntry unmapped(const std::string& name) {
    AppEntry entry = app(name, name);
    entry.macos.reset();
    return entry;
}
InstallOptions options(Manager manager, bool skip, bool upgrade, bool update = false,
                       bool log = false) {
    return InstallOptions{manager, skip, upgrade, update, log, 900};
}
const std::string fakes = CAIRNMOOR_FAKES_DIR;
std::string golden(const char* name) {
    return testing::readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/export/golden" / name);
}

// Runs the command with exactly the given environment and returns its standard output and
// error, read to the end (so background writers such as tee have finished too). Quoted
// independently of the exporter.
std::string run(std::vector<std::string> command,
                const std::map<std::string, std::string>& environment) {
    for (const auto& [name, value] : environment) {
        command.insert(command.begin(), name + "=" + value);
    }
    const auto quote = [](const std::string& text) {
        std::string quoted = "'";
        for (const char c : text) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    };
    std::string line = "exec /usr/bin/env -i";
    for (const std::string& word : command) {
        line += " " + quote(word);
    }
    FILE* pipe = ::popen((line + " </dev/null 2>&1").c_str(), "r");
    std::string output;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, count);
    }
    ::pclose(pipe);
    return output;
}

TEST(ShellScriptText, MatchesTheWorkedExamples) {
    using ScriptExporter::shellScript;
    EXPECT_EQ(shellScript({app("Alpha", "alpha", "cask"), app("Beta Tool", "beta")},
                          options(Manager::homebrew, true, false), "/opt/homebrew/bin/brew"),
              golden("homebrew-skip-installed.golden"));
    // MacPorts ignores the Homebrew name and kind.
    EXPECT_EQ(shellScript({port("Gamma", "gamma"), app("Delta", "dl", "cask", "delta")},
                          options(Manager::macports, true, true, true, true), std::nullopt),
              golden("macports-every-option.golden"));
    // A refused selection gives a script that says why, with the catalogue's names quoted.
    EXPECT_EQ(shellScript({port("Gamma", "gamma"), app("Alpha", "alpha"), unmapped("It's $(here)")},
                          options(Manager::macports, true, true), "/elsewhere/port"),
              golden("macports-unmapped.golden"));
    // MacPorts is elevated only at its canonical path, which the script names itself.
    const auto macports = options(Manager::macports, true, false);
    for (const char* path : {"/usr/local/bin/port", "/opt/local/bin/../bin/port",
                             "/opt/local/bin/port/", "", "/opt/local/bin/port "}) {
        EXPECT_THAT(shellScript({port("Gamma", "gamma")}, macports, path),
                    ::testing::EndsWith("\necho 'Refusing to elevate a noncanonical MacPorts "
                                        "executable.' >&2\nexit 1\n"))
            << path;
    }
    EXPECT_EQ(shellScript({port("G", "g")}, macports, "/opt/local/bin/port"),
              shellScript({port("G", "g")}, macports, std::nullopt));
}

// The Brewfile is Ruby that Homebrew evaluates: a name outside Homebrew's own rule could
// leave its string literal, so such an entry is dropped, not escaped.
TEST(Brewfile, ListsMappedEntriesInOrderAndDropsNamesThatCouldEscape) {
    EXPECT_EQ(ScriptExporter::brewfile(
                  {app("Zeta", "zeta"), unmapped("None"), app("Alpha", "alpha", "cask"),
                   app("Capital", "capital", "Cask"), app("Tap", "user/tap/thing@2", "cask"),
                   app("C", "c++"), app("Quote", "x\"; system(\"id\"); \""), app("Hash", "#{`id`}"),
                   app("Newline", "a\nbrew \"evil\""), app("Dash", "-x")}),
              "brew \"zeta\"\ncask \"alpha\"\nbrew \"capital\"\ncask \"user/tap/thing@2\"\n"
              "brew \"c++\"\n");
}

// Safe text stays bare; bash reads every quoted text back as the original bytes.
TEST(ShellQuoting, BashReadsEveryQuotedTextBackUnchanged) {
    EXPECT_EQ(ScriptExporter::shellQuoted("A-Z_a.z@0/9"), "A-Z_a.z@0/9");
    // clang-format off
    const std::vector<std::string> texts = {"", "'", "''", "it's", "-n", "--", "a b  c", "$HOME",
        "${HOME}", "$(id)", "`id`", "~", "~root", "*.txt", "?", "[a]", "{a,b}", "!!", "#", "&;|<>()",
        "\\", "%s%n", "\"'\"'", "a\nb", "end\n", "\t\r\x01\x7f", "caf\xC3\xA9", "\xFF\xFE", "a=b"};
    // clang-format on
    std::string script;
    std::string expected;
    for (const std::string& text : texts) {
        script += "printf '%s\\0' " + ScriptExporter::shellQuoted(text) + "\n";
        expected += text + '\0';
    }
    testing::TempDir dir;
    EXPECT_EQ(run({"/bin/bash", dir.write("q.sh", script).string()}, {}), expected);
}

// Every variant the exporter can produce passes shellcheck (or, without it, parses in
// bash): both managers, every option, each way of naming the executable, awkward names.
TEST(ShellScriptLint, EveryVariantPassesShellcheck) {
    const std::vector<AppEntry> selections[] = {
        {app("It's `here` $HOME \"q\" *", "alpha", "cask"), port("Tab\tnew\nline", "c++"),
         app("\xE6\x97\xA5\xE6\x9C\xAC", "beta@2", "formula", "beta"), port("-n", "gamma")},
        {unmapped("Nope $(x)"), port("One", "one")}};
    const std::optional<std::string> paths[] = {{}, "/opt/local/bin/port", "/a b/it's/brew"};
    testing::TempDir dir;
    std::set<std::string> scripts;
    for (int i = 0; i < 2 * 16 * 2 * 3; ++i) {
        const int bits = i / 6 % 16;
        scripts.insert(ScriptExporter::shellScript(
            selections[i % 2],
            options(Manager::allCases[i / 96], bits & 1, bits & 2, bits & 4, bits & 8),
            paths[i / 2 % 3]));
    }
    // SC2016: single-quoted "$HOME" or backticks in an app name are meant literally.
    // SC2034: the Homebrew inventory always reads both lists, one may go unused.
    std::vector<std::string> command = {"/usr/bin/shellcheck", "--shell=bash", "--severity=style",
                                        "--exclude=SC2016,SC2034"};
    if (::access(command[0].c_str(), X_OK) != 0) {
        command = {"/bin/bash", "-c", "for f; do bash -n \"$f\"; done", "lint"};
    }
    for (const std::string& script : scripts) {
        command.push_back(dir.write(std::to_string(command.size()), script).string());
    }
    EXPECT_EQ(run(command, {{"PATH", "/usr/bin:/bin"}, {"LC_ALL", "C.UTF-8"}}), "");
}

// Generated scripts run by real bash against the fake Homebrew in a temporary HOME.
class ShellScriptRun : public ::testing::Test {
protected:
    std::string runScript(const std::string& script,
                          std::map<std::string, std::string> environment = {}) const {
        environment.insert({{"PATH", "/usr/bin:/bin"},
                            {"HOME", (dir / "home").string()},
                            {"CAIRNMOOR_FAKE_STATE", (dir / "state").string()},
                            {"LC_ALL", "C.UTF-8"}});
        return run({"/bin/bash", dir.write("install.sh", script).string()}, environment);
    }
    // Every command line the fake saw, in order; the record then starts afresh.
    std::string invocations() const {
        const fs::path log = dir / "state" / "invocations.log";
        const std::string lines = fs::exists(log) ? testing::readFile(log) : "";
        fs::remove(log);
        return lines;
    }

    testing::TempDir dir;
};

// Alpha and the one with a name that would run commands if it ever went unquoted are
// installed, Gamma is not, Delta (a cask) and Capital (not exactly "cask") only as
// formulae. The fake is reached through a folder whose name needs quoting too.
TEST_F(ShellScriptRun, RunsExactlyTheManagerCommandsTheOptionsCallFor) {
    fs::create_directories(dir / "it's here");
    fs::create_symlink(fakes + "/brew", dir / "it's here/brew");
    const std::string nasty = "$(echo injected) `echo injected` it's ${HOME} *";
    const std::vector<AppEntry> apps = {app("Alpha", "alpha", "cask"), app(nasty, "c++"),
                                        app("Gamma", "gamma"), app("Delta", "delta", "cask"),
                                        app("Capital", "capital", "Cask")};
    const std::string lists = "brew list --cask\nbrew list --formula\n";
    const struct {
        InstallOptions options;
        const char* failing; // the fake's CAIRNMOOR_FAKE_FAIL
        std::string invocations;
        std::string output; // a piece the output holds
    } cases[] = {
        // clang-format off
        {options(Manager::homebrew, true, false), "",
         lists + "brew install gamma\nbrew install --cask delta\n", "\nAlready installed: " + nasty + "\n"},
        {options(Manager::homebrew, true, true), "",
         lists + "brew upgrade --cask alpha\nbrew upgrade c++\nbrew install gamma\n"
                 "brew install --cask delta\nbrew upgrade capital\n", "Processing " + nasty + "...\n"},
        {options(Manager::homebrew, false, false, true, true), "",
         "brew update\nbrew install --cask alpha\nbrew install c++\nbrew install gamma\n"
         "brew install --cask delta\nbrew install capital\n", "Already up-to-date.\n"},
        {options(Manager::homebrew, true, true), "c++:7",
         lists + "brew upgrade --cask alpha\nbrew upgrade c++\n", "Error: c++: simulated failure"},
        // clang-format on
    };
    for (const auto& c : cases) {
        fs::remove_all(dir / "state");
        for (const char* installed :
             {"casks/alpha", "formulae/c++", "formulae/delta", "formulae/capital"}) {
            dir.write(std::string("state/") + installed, "1.0.0\n");
        }
        const std::string output = runScript(
            ScriptExporter::shellScript(apps, c.options, (dir / "it's here/brew").string()),
            {{"CAIRNMOOR_FAKE_FAIL", c.failing}});
        EXPECT_EQ(invocations(), c.invocations);
        EXPECT_THAT(output, HasSubstr(c.output));
        EXPECT_EQ(output.ends_with("\nDone.\n"), *c.failing == '\0') << output;
        if (c.options.writeLog) { // the log holds everything printed, stderr too
            const fs::path logs = dir / "home/Library/Logs/Cairnmoor";
            EXPECT_EQ(testing::readFile(fs::directory_iterator(logs)->path()), output);
        }
    }
}

// A given manager that is missing stops the script. Without a given path the script looks
// in the known places and on the search path, and bootstraps Homebrew as a last resort
// through a stand-in for curl that serves the installer.
TEST_F(ShellScriptRun, FindsOrBootstrapsHomebrewAndOtherwiseStopsBeforeAnyCommand) {
    const auto script = [](std::optional<std::string> path) {
        return ScriptExporter::shellScript({app("Beta", "beta")},
                                           options(Manager::homebrew, false, false), path);
    };
    const std::string notFound =
        "Homebrew not found. Install it from https://brew.sh/ and run again.\n";
    EXPECT_EQ(runScript(script("/no/brew")), notFound);
    for (const char* fixed : {"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}) {
        if (fs::exists(fixed)) {
            GTEST_SKIP() << "a real Homebrew at " << fixed << " would be found first";
        }
    }
    const auto runWith = [&](const std::string& installer) {
        dir.write("tools/curl",
                  "#!/bin/bash\necho \"$*\" >&2\ncat <<'EOF'\n" + installer + "\nEOF\n");
        fs::permissions(dir / "tools/curl", fs::perms::owner_all);
        return runScript(
            script(std::nullopt),
            {{"PATH", (dir / "tools:").string() + (dir / "late:/usr/bin:/bin").string()}});
    };
    EXPECT_EQ(runWith("echo 'installer ran'"),
              "Homebrew not found - bootstrapping from the official installer...\n-fsSL " +
                  std::string(ScriptExporter::homebrewInstallScriptURL) + "\ninstaller ran\n" +
                  notFound);
    runWith("mkdir '" + (dir / "late").string() + "' && ln -s '" + fakes + "/brew" + "' '" +
            (dir / "late/brew").string() + "'");
    EXPECT_EQ(invocations(), "brew install beta\n");
    EXPECT_THAT(runWith("exit 99"), ::testing::Not(HasSubstr("bootstrapping"))); // now on PATH
    EXPECT_EQ(invocations(), "brew install beta\n");
}

// MacPorts scripts need BSD stat and a root-owned /opt/local, so they cannot run whole
// here; the inventory loop is cut out of the generated text and run against the fake.
TEST_F(ShellScriptRun, TheMacPortsInventoryLoopReadsTheFakesListing) {
    const std::string script = ScriptExporter::shellScript(
        {port("A", "a")}, options(Manager::macports, true, false), std::nullopt);
    const std::string first = "inventory=$(", last = "done <<< \"$inventory\"\n";
    const auto start = script.find(first);
    const std::string loop = "set -euo pipefail\nMANAGER=" + fakes + "/port" + "\n" +
                             script.substr(start, script.find(last) + last.size() - start) +
                             "printf '[%s]' \"$packages\"\n";
    EXPECT_EQ(runScript(loop), "[]"); // "None of the specified ports are installed."
    dir.write("state/ports/alpha", "");
    dir.write("state/ports/py3.12-c++_x", "");
    EXPECT_EQ(runScript(loop), "[alpha\npy3.12-c++_x\n]");
    EXPECT_EQ(runScript(loop, {{"CAIRNMOOR_FAKE_LIST_GARBAGE", "  alpha @1.0 (inactive)"}}),
              "Unexpected MacPorts inventory:   alpha @1.0 (inactive)\n");
}

} // namespace
} // namespace cairnmoor
