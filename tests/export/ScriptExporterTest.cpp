#include "export/ScriptExporter.hpp"

#include "support/TempDir.hpp"

#include <gmock/gmock.h>

#include <cstdio>
#include <regex>
#include <set>
#include <tuple>

// The generated texts are compared with the worked examples in golden/, read back by bash,
// linted, and run by real bash against the fake manager.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using Manager = PackageManager;

// Without a Homebrew name, an entry has no macOS record.
AppEntry app(const std::string& name, const std::string& brew, const std::string& type = "formula",
             std::optional<std::string> port = {}) {
    const std::optional<MacOSInfo> macos = MacOSInfo{brew, type, std::move(port)};
    return AppEntry{brew, name, "", "", "", "", brew.empty() ? std::nullopt : macos, {}};
}
AppEntry port(const std::string& name, const std::string& port) {
    return app(name, port, "formula", port);
}
InstallOptions options(Manager m, bool skip, bool upgrade, bool update = false, bool log = false) {
    return InstallOptions{m, skip, upgrade, update, log, 900};
}
std::string golden(const char* name) {
    return testing::readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/export/golden" / name);
}

// Runs the words in an empty environment (leading NAME=value words set variables) and
// returns standard output and error, read to the end (so background writers such as tee
// have finished too). Quoted independently of the exporter.
std::string run(const std::vector<std::string>& words) {
    std::string line = "exec /usr/bin/env -i";
    for (const std::string& word : words) {
        line += " '" + std::regex_replace(word, std::regex("'"), "'\\''") + "'";
    }
    FILE* pipe = ::popen((line + " </dev/null 2>&1").c_str(), "r");
    std::string output;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        output += static_cast<char>(c);
    }
    ::pclose(pipe);
    return output;
}

TEST(ExportedText, MatchesTheWorkedExamples) {
    using ScriptExporter::shellScript;
    EXPECT_EQ(shellScript({app("Alpha", "alpha", "cask"), app("Beta Tool", "beta")},
                          options(Manager::homebrew, true, false), "/opt/homebrew/bin/brew"),
              golden("homebrew-skip-installed.golden"));
    // MacPorts ignores the Homebrew name and kind.
    EXPECT_EQ(shellScript({port("Gamma", "gamma"), app("Delta", "dl", "cask", "delta")},
                          options(Manager::macports, true, true, true, true), std::nullopt),
              golden("macports-every-option.golden"));
    // A refused selection gives a script that says why, with the catalogue's names quoted.
    EXPECT_EQ(shellScript({port("Gamma", "gamma"), app("Alpha", "alpha"), app("It's $(here)", "")},
                          options(Manager::macports, true, true), "/elsewhere/port"),
              golden("macports-unmapped.golden"));
    // MacPorts is elevated only at its canonical path, which the script names itself.
    const auto macports = options(Manager::macports, true, false);
    const std::vector<AppEntry> g = {port("G", "g")};
    for (const char* path : {"/usr/local/bin/port", "/opt/local/bin/../bin/port", ""}) {
        EXPECT_EQ(shellScript(g, macports, path), golden("macports-elsewhere.golden")) << path;
    }
    EXPECT_EQ(shellScript(g, macports, "/opt/local/bin/port"), shellScript(g, macports, {}));
    // The Brewfile is Ruby that Homebrew evaluates: a name outside Homebrew's own rule could
    // leave its string literal, so such an entry is dropped, not escaped.
    EXPECT_EQ(ScriptExporter::brewfile(
                  {app("Zeta", "zeta"), app("None", ""), app("Alpha", "alpha", "cask"),
                   app("Kit", "kit", "Cask"), app("Tap", "user/tap/thing@2", "cask"),
                   app("C", "c++"), app("Quote", "x\"; system(\"id\"); \""), app("Hash", "#{`id`}"),
                   app("Newline", "a\nbrew \"evil\""), app("Dash", "-x")}),
              "brew \"zeta\"\ncask \"alpha\"\nbrew \"kit\"\ncask \"user/tap/thing@2\"\n"
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
    std::string script, expected;
    for (const std::string& text : texts) {
        script += "printf '%s\\0' " + ScriptExporter::shellQuoted(text) + "\n";
        expected += text + '\0';
    }
    EXPECT_EQ(run({"/bin/bash", "-c", script}), expected);
}

// Generated scripts run by real bash against the fake Homebrew in a temporary HOME.
class ShellScriptRun : public ::testing::Test {
protected:
    // Later NAME=value words override the defaults.
    std::string runScript(const std::string& script,
                          const std::string& variable = "LC_ALL=C.UTF-8") const {
        return run({"PATH=/usr/bin:/bin", "HOME=" + (dir / "home").string(),
                    "CAIRNMOOR_FAKE_STATE=" + (dir / "state").string(), "LC_ALL=C.UTF-8", variable,
                    "/bin/bash", dir.write("install.sh", script).string()});
    }

    testing::TempDir dir;
};

// Every variant the exporter can produce passes shellcheck (or, without it, parses in
// bash): both managers, every option, each way of naming the executable, awkward names.
TEST_F(ShellScriptRun, EveryVariantPassesShellcheck) {
    const std::vector<AppEntry> selections[] = {
        {app("It's `here` $HOME \"q\" *", "alpha", "cask", "alpha"), port("Tab\tnew\nline", "c++"),
         app("\xE6\x97\xA5\xE6\x9C\xAC", "beta@2", "formula", "beta"), port("-n", "gamma")},
        {app("Nope $(x)", ""), port("One", "one")}};
    const std::optional<std::string> paths[] = {{}, "/opt/local/bin/port", "/a b/it's/brew"};
    std::set<std::string> scripts;
    for (int i = 0; i < 16 * 3 * 2 * 2; ++i) {
        scripts.insert(ScriptExporter::shellScript(
            selections[i / 48 % 2], options(Manager::allCases[i / 96], i & 1, i & 2, i & 4, i & 8),
            paths[i / 16 % 3]));
    }
    // SC2016: single-quoted "$HOME" or backticks in an app name are meant literally.
    // SC2034: the Homebrew inventory always reads both lists, one may go unused.
    const std::string lint = "if command -v shellcheck >/dev/null; then shellcheck --shell=bash "
                             "--severity=style --exclude=SC2016,SC2034 \"$@\"; "
                             "else for f; do bash -n \"$f\"; done; fi";
    std::vector<std::string> command = {
        "PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8", "/bin/bash", "-c", lint, "lint"};
    for (const std::string& script : scripts) {
        command.push_back(dir.write(std::to_string(command.size()), script).string());
    }
    EXPECT_EQ(run(command), "");
}

// Alpha and the one with a name that would run commands if it ever went unquoted are
// installed, Gamma is not, Delta (a cask) and Kit (not exactly "cask") only as
// formulae. The fake is reached through a folder whose name needs quoting too.
TEST_F(ShellScriptRun, RunsExactlyTheManagerCommandsTheOptionsCallFor) {
    fs::create_directories(dir / "it's here");
    fs::create_symlink(CAIRNMOOR_FAKES_DIR "/brew", dir / "it's here/brew");
    const std::string nasty = "$(echo injected) `echo injected` it's ${HOME} *";
    const std::vector<AppEntry> apps = {app("Alpha", "alpha", "cask"), app(nasty, "c++"),
                                        app("Gamma", "gamma"), app("Delta", "delta", "cask"),
                                        app("Kit", "kit", "Cask")};
    // Options, the fake's CAIRNMOOR_FAKE_FAIL, and a piece of the output; the commands each
    // run gives the fake are in golden/homebrew-runs.golden, one run after another.
    const std::tuple<InstallOptions, std::string, std::string> cases[] = {
        {options(Manager::homebrew, true, false), "", "\nAlready installed: " + nasty + "\n"},
        {options(Manager::homebrew, true, true), "", "Processing " + nasty + "...\n"},
        {options(Manager::homebrew, false, false, true, true), "", "Already up-to-date.\n"},
        {options(Manager::homebrew, true, true), "c++:7", "Error: c++: simulated failure"},
    };
    std::string commands;
    for (const auto& [options, failing, piece] : cases) {
        fs::remove_all(dir / "state");
        for (const char* name : {"casks/alpha", "formulae/c++", "formulae/delta", "formulae/kit"}) {
            dir.write("state/" + std::string(name), "1.0.0\n");
        }
        const std::string output =
            runScript(ScriptExporter::shellScript(apps, options, (dir / "it's here/brew").string()),
                      "CAIRNMOOR_FAKE_FAIL=" + failing);
        commands += testing::readFile(dir / "state/invocations.log") + "--\n";
        EXPECT_THAT(output, ::testing::HasSubstr(piece));
        EXPECT_EQ(output.ends_with("\nDone.\n"), failing.empty()) << output;
        if (options.writeLog) { // the log holds everything printed, stderr too
            const fs::path logs = dir / "home/Library/Logs/Cairnmoor";
            EXPECT_EQ(testing::readFile(fs::directory_iterator(logs)->path()), output);
        }
    }
    EXPECT_EQ(commands, golden("homebrew-runs.golden"));
}

// A given manager that is missing stops the script. Without a given path the script looks
// in the known places and on the search path, and bootstraps Homebrew as a last resort
// through a stand-in for curl that serves the installer.
TEST_F(ShellScriptRun, FindsOrBootstrapsHomebrewAndOtherwiseStopsBeforeAnyCommand) {
    const std::vector<AppEntry> beta = {app("Beta", "beta")};
    const auto homebrew = options(Manager::homebrew, false, false);
    const std::string notFound =
        "Homebrew not found. Install it from https://brew.sh/ and run again.\n";
    EXPECT_EQ(runScript(ScriptExporter::shellScript(beta, homebrew, "/no/brew")), notFound);
    if (fs::exists("/opt/homebrew/bin/brew") || fs::exists("/usr/local/bin/brew")) {
        GTEST_SKIP() << "a real Homebrew would be found first";
    }
    dir.write("tools/curl", "#!/bin/bash\necho \"$*\" >&2\ncat \"$HOME/installer\"\n");
    fs::permissions(dir / "tools/curl", fs::perms::owner_all);
    const auto runWith = [&](const std::string& installer) {
        dir.write("home/installer", installer + "\n");
        return runScript(ScriptExporter::shellScript(beta, homebrew, {}),
                         "PATH=" + (dir / "tools:/usr/bin:/bin").string());
    };
    EXPECT_EQ(runWith("echo 'installer ran'"),
              "Homebrew not found - bootstrapping from the official installer...\n-fsSL " +
                  std::string(ScriptExporter::homebrewInstallScriptURL) + "\ninstaller ran\n" +
                  notFound);
    runWith("ln -s '" CAIRNMOOR_FAKES_DIR "/brew' '" + (dir / "tools/brew").string() + "'");
    EXPECT_EQ(runWith("exit 99").find("bootstrapping"), std::string::npos); // now on PATH
    EXPECT_EQ(testing::readFile(dir / "state/invocations.log"),
              "brew install beta\nbrew install beta\n");
}

// MacPorts scripts need BSD stat and a root-owned /opt/local, so they cannot run whole
// here; the inventory loop is cut out of the generated text and run against the fake.
TEST_F(ShellScriptRun, TheMacPortsInventoryLoopReadsTheFakesListing) {
    const std::string script = golden("macports-every-option.golden");
    std::smatch loop;
    ASSERT_TRUE(std::regex_search(script, loop,
                                  std::regex(R"(inventory=\$\([\s\S]*?done <<< "\$inventory"\n)")));
    const std::string text = "set -euo pipefail\nMANAGER=" CAIRNMOOR_FAKES_DIR "/port\n" +
                             loop.str() + "printf '[%s]' \"$packages\"\n";
    EXPECT_EQ(runScript(text), "[]"); // "None of the specified ports are installed."
    dir.write("state/ports/alpha", "");
    dir.write("state/ports/py3.12-c++_x", "");
    EXPECT_EQ(runScript(text), "[alpha\npy3.12-c++_x\n]");
    EXPECT_EQ(runScript(text, "CAIRNMOOR_FAKE_LIST_GARBAGE=  alpha @1.0 (inactive)"),
              "Unexpected MacPorts inventory:   alpha @1.0 (inactive)\n");
}

} // namespace
} // namespace cairnmoor
