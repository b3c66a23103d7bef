#include "export/ScriptExporter.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

// The generated texts are compared with the worked examples in golden/, read back by bash,
// linted, and run by real bash against the fake managers.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using namespace ScriptExporter;
using namespace std::string_literals;
using Manager = PackageManager;

// Without a Homebrew name, an entry has no macOS record. Its port has the Homebrew name
// unless another, or none ({}), is given.
AppEntry app(const std::string& name, const std::string& brew, const std::string& type = "formula",
             std::optional<std::string> port = "") {
    const std::optional<MacOSInfo> macos = MacOSInfo{brew, type, port == "" ? brew : port};
    return AppEntry{brew, name, "", "", "", "", brew.empty() ? std::nullopt : macos, {}};
}
InstallOptions options(bool skip, bool upgrade, bool update = false, bool log = false,
                       Manager manager = Manager::homebrew) {
    return InstallOptions{manager, skip, upgrade, update, log, 900};
}
std::string golden(const char* name) {
    return testing::readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/export/golden" / name);
}

TEST(ExportedText, MatchesTheWorkedExamples) {
    EXPECT_EQ(shellScript({app("Alpha", "alpha", "cask"), app("Beta Tool", "beta")},
                          options(true, false), "/opt/homebrew/bin/brew"),
              golden("homebrew-skip-installed.golden"));
    // MacPorts ignores the Homebrew name and kind.
    EXPECT_EQ(shellScript({app("Gamma", "gamma"), app("Delta", "dl", "cask", "delta")},
                          options(true, true, true, true, Manager::macports), std::nullopt),
              golden("macports-every-option.golden"));
    // A refused selection gives a script that says why, with the catalogue's names quoted.
    EXPECT_EQ(shellScript({app("Alpha", "alpha", "formula", {}), app("It's $(here)", "")},
                          options(true, true, false, false, Manager::macports), "/elsewhere/port"),
              golden("macports-unmapped.golden"));
    // MacPorts is elevated only at its canonical path, which the script names itself.
    const auto macports = options(true, false, false, false, Manager::macports);
    const std::vector<AppEntry> g = {app("G", "g")};
    EXPECT_EQ(shellScript(g, macports, "/usr/local/bin/port"), golden("macports-elsewhere.golden"));
    EXPECT_EQ(shellScript(g, macports, "/opt/local/bin/../bin/port"), shellScript(g, macports, ""));
    EXPECT_EQ(shellScript(g, macports, "/opt/local/bin/port"), shellScript(g, macports, {}));
    // The Brewfile is Ruby that Homebrew evaluates: a name outside Homebrew's own rule could
    // leave its string literal, so such an entry is dropped, not escaped.
    EXPECT_EQ(brewfile({app("Zeta", "zeta"), app("None", ""), app("Alpha", "alpha", "cask"),
                        app("Kit", "kit", "Cask"), app("Quote", "x\"; system(\"id\"); \""),
                        app("Newline", "a\nbrew \"evil\"")}),
              "brew \"zeta\"\ncask \"alpha\"\nbrew \"kit\"\n");
}

// Runs a script with bash in an empty environment but for the fake's knob given, a UTF-8
// locale, a temporary HOME holding the fake's state, and a search path that starts with the
// folder tools/. Standard output and error are read to the end, so background writers such
// as tee have finished too. Quoted independently of the exporter.
class Bash : public ::testing::Test {
protected:
    std::string bash(const std::string& script,
                     const std::string& knob = "CAIRNMOOR_FAKE_FAIL=") const {
        std::string line = "exec /usr/bin/env -i LC_ALL="s + testing::utf8Locale,
                    output(1 << 20, '\0');
        for (const std::string& word :
             {knob, "HOME=" + (dir / "home").string(),
              "CAIRNMOOR_FAKE_STATE=" + (dir / "home/state").string(),
              "PATH=" + (dir / "tools").string() + ":/usr/bin:/bin", "/bin/bash"s, "-c"s, script}) {
            line += " '" + std::regex_replace(word, std::regex("'"), "'\\''") + "'";
        }
        FILE* pipe = ::popen((line + " </dev/null 2>&1").c_str(), "r");
        output.resize(std::fread(output.data(), 1, output.size(), pipe));
        ::pclose(pipe);
        return output;
    }

    testing::TempDir dir;
};

// Bash reads every quoted text back as the original bytes.
TEST_F(Bash, ReadsEveryQuotedTextBackUnchanged) {
    // clang-format off
    const std::vector<std::string> texts = {"", "'", "''", "it's", "-n", "--", "a b  c", "$HOME",
        "${HOME}", "$(id)", "`id`", "~", "~root", "*.txt", "?", "[a]", "{a,b}", "!!", "#", "&;|<>()",
        "\\", "%s%n", "\"'\"'", "a\nb", "end\n", "\t\r\x01\x7f", "caf\xC3\xA9", "\xFF\xFE", "a=b"};
    // clang-format on
    std::string script, expected;
    for (const std::string& text : texts) {
        script += "printf '%s\\0' " + shellQuoted(text) + "\n";
        expected += text + '\0';
    }
    EXPECT_EQ(bash(script), expected);
}

// Every variant the exporter can produce passes shellcheck (or, without it, parses in
// bash): both managers, every option, each way of naming the executable, awkward names.
// Equal scripts share a file, named by their hash.
TEST_F(Bash, EveryVariantPassesShellcheck) {
    const std::vector<AppEntry> selections[] = {
        {app("It's `here` $HOME \"q\" *", "alpha", "cask", "alpha"), app("Tab\tnew\nline", "c++"),
         app("\xE6\x97\xA5\xE6\x9C\xAC", "beta@2", "formula", "beta"), app("-n", "gamma")},
        {app("Nope $(x)", ""), app("One", "one")}};
    const std::optional<std::string> paths[] = {{}, "/opt/local/bin/port", "/a b/it's/brew"};
    for (int i = 0; i < 16 * 3 * 2 * 2; ++i) {
        const std::string script = shellScript(
            selections[i / 48 % 2], options(i & 1, i & 2, i & 4, i & 8, Manager::allCases[i / 96]),
            paths[i / 16 % 3]);
        dir.write("home/lint/" + std::to_string(std::hash<std::string>()(script)), script);
    }
    // SC2016: single-quoted "$HOME" or backticks in an app name are meant literally.
    // SC2034: the Homebrew inventory always reads both lists, one may go unused.
    EXPECT_EQ(bash("if command -v shellcheck >/dev/null; then shellcheck --shell=bash "
                   "--severity=style --exclude=SC2016,SC2034 ~/lint/*; "
                   "else for f in ~/lint/*; do bash -n \"$f\"; done; fi"),
              "");
}

// Alpha and the one with a name that would run commands if it ever went unquoted are
// installed, Gamma is not, Delta (a cask) and Kit (not exactly "cask") only as formulae.
// The fake is reached through a folder whose name needs quoting too. What each run prints,
// and the commands it gives the fake, are in golden/homebrew-runs.golden; the last run
// stops at its failing package.
TEST_F(Bash, RunsExactlyTheManagerCommandsTheOptionsCallFor) {
    const fs::path brew = dir / "it's here/brew";
    fs::create_directories(brew.parent_path());
    fs::create_symlink(CAIRNMOOR_FAKES_DIR "/brew", brew);
    const std::vector<AppEntry> apps = {
        app("Alpha", "alpha", "cask"),
        app("$(echo injected) `echo injected` it's ${HOME} *", "c++"), app("Gamma", "gamma"),
        app("Delta", "delta", "cask"), app("Kit", "kit", "Cask")};
    // The options (every run writes a log), and the fake's knob.
    const std::pair<InstallOptions, std::string> cases[] = {
        {options(true, false, false, true), "CAIRNMOOR_FAKE_FAIL="},
        {options(false, false, true, true), "CAIRNMOOR_FAKE_FAIL="},
        {options(true, true, false, true), "CAIRNMOOR_FAKE_FAIL=gamma:7"},
    };
    std::string runs;
    for (const auto& [options, knob] : cases) {
        fs::remove_all(dir / "home");
        for (const char* name : {"casks/alpha", "formulae/c++", "formulae/delta", "formulae/kit"}) {
            dir.write("home/state/" + std::string(name), "1.0.0\n");
        }
        const std::string output = bash(shellScript(apps, options, brew), knob);
        runs += output + "-- commands:\n" + testing::readFile(dir / "home/state/invocations.log");
        // The log holds everything printed, standard error too.
        const fs::directory_iterator logs(dir / "home/Library/Logs/Cairnmoor");
        EXPECT_EQ(testing::readFile(logs->path()), output);
    }
    EXPECT_EQ(std::regex_replace(runs, std::regex("Log: .*"), "Log: (file)"),
              golden("homebrew-runs.golden"));
}

// A given manager that is missing stops the script. Without a given path the script looks
// in the known places (moved into the sandbox, where nothing is, so that a real Homebrew
// is not found first) and on the search path, and bootstraps Homebrew as a last resort
// through a stand-in for curl that serves the installer; what the runs print, and the
// commands given to the fake, are in golden/homebrew-bootstrap.golden.
TEST_F(Bash, FindsOrBootstrapsHomebrewAndOtherwiseStopsBeforeAnyCommand) {
    const std::regex knownPlaces("/opt/homebrew/bin/brew|/usr/local/bin/brew");
    dir.write("tools/curl", "#!/bin/bash\necho \"$*\" >&2\ncat \"$HOME/installer\"\n");
    fs::permissions(dir / "tools/curl", fs::perms::owner_all);
    // The path given, and the installer: the last would stop the script if it ran.
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {"/no/brew", "exit 99"},
        {{}, "echo 'installer ran'"},
        {{}, "ln -s '" CAIRNMOOR_FAKES_DIR "/brew' \"$HOME/../tools/brew\""},
        {{}, "exit 99"},
    };
    std::string runs;
    for (const auto& [path, installer] : cases) {
        dir.write("home/installer", installer + "\n");
        const std::string script = shellScript({app("Beta", "beta")}, options(false, false), path);
        runs +=
            bash(std::regex_replace(script, knownPlaces, dir.path().string() + "/none$&")) + "--\n";
    }
    EXPECT_EQ(runs + testing::readFile(dir / "home/state/invocations.log"),
              golden("homebrew-bootstrap.golden"));
}

// MacPorts scripts need BSD stat and a root-owned /opt/local, so they cannot run whole
// here; the inventory loop is cut out of the generated text and run against the fake.
TEST_F(Bash, TheMacPortsInventoryLoopReadsTheFakesListing) {
    const std::string script = golden("macports-every-option.golden");
    const std::size_t from = script.find("inventory="), to = script.find("printf '%s\\n' 'Proc");
    const std::string text = "set -euo pipefail\nMANAGER=" CAIRNMOOR_FAKES_DIR "/port\n" +
                             script.substr(from, to - from) + "printf '[%s]' \"$packages\"\n";
    EXPECT_EQ(bash(text), "[]"); // "None of the specified ports are installed."
    dir.write("home/state/ports/alpha", "");
    dir.write("home/state/ports/py3.12-c++_x", "");
    EXPECT_EQ(bash(text), "[alpha\npy3.12-c++_x\n]");
    EXPECT_EQ(bash(text, "CAIRNMOOR_FAKE_LIST_GARBAGE=  alpha @1.0 (inactive)"),
              "Unexpected MacPorts inventory:   alpha @1.0 (inactive)\n");
}

} // namespace
} // namespace cairnmoor
