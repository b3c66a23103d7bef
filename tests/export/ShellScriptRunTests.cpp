#include "ExportTestSupport.hpp"
#include "export/ScriptExporter.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::cask;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using testing::formula;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;
using testing::options;
using testing::port;
using testing::splitLines;
using ::testing::StartsWith;

const std::string fakeBrew = CAIRNMOOR_FAKES_DIR "/brew";
const std::string fakePort = CAIRNMOOR_FAKES_DIR "/port";
const std::string notFound =
    "Homebrew not found. Install it from https://brew.sh/ and run again.\n";

// Generated scripts run by real bash against the fake managers, in a temporary HOME.
class ShellScriptRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(fakeBrew)) << fakeBrew;
        fs::create_directories(home());
        fs::create_directories(state());
    }

    fs::path home() const { return dir_ / "home"; }
    fs::path state() const { return dir_ / "state"; }

    void preinstall(const std::string& folder, const std::string& name) const {
        dir_.write("state/" + folder + "/" + name, "1.0.0\n");
    }

    testing::CommandOutput run(const std::string& script,
                               const std::map<std::string, std::string>& extra = {}) const {
        const fs::path file = dir_.write("install.sh", script);
        std::map<std::string, std::string> environment = {
            {"PATH", "/usr/bin:/bin"},
            {"HOME", home().string()},
            {"CAIRNMOOR_FAKE_STATE", state().string()},
            {"LC_ALL", "C.UTF-8"}};
        for (const auto& [name, value] : extra) {
            environment[name] = value;
        }
        return testing::runCommand({"/bin/bash", file.string()}, environment);
    }

    testing::CommandOutput runHomebrew(const std::vector<AppEntry>& entries,
                                       const InstallOptions& opts,
                                       const std::map<std::string, std::string>& extra = {}) const {
        return run(ScriptExporter::shellScript(entries, opts, fakeBrew), extra);
    }

    std::vector<std::string> invocations() const {
        const fs::path log = state() / "invocations.log";
        if (!fs::exists(log)) {
            return {};
        }
        auto lines = splitLines(testing::readFile(log));
        if (!lines.empty() && lines.back().empty()) {
            lines.pop_back();
        }
        return lines;
    }

    testing::TempDir dir_;
};

InstallOptions homebrew(bool skip, bool upgrade, bool update = false, bool log = false) {
    return options(PackageManager::homebrew, skip, upgrade, update, log);
}

TEST_F(ShellScriptRun, SkipOnlyLeavesInstalledPackagesAlone) {
    preinstall("casks", "alpha");
    const auto result =
        runHomebrew({cask("Alpha", "alpha"), formula("Beta", "beta")}, homebrew(true, false));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(invocations(),
                ElementsAre("brew list --cask", "brew list --formula", "brew install beta"));
    EXPECT_THAT(result.output, HasSubstr("Processing Alpha...\nAlready installed: Alpha\n"));
    EXPECT_THAT(result.output, EndsWith("\nDone.\n"));
}

TEST_F(ShellScriptRun, UpgradeLooksInTheListOfTheEntrysKind) {
    preinstall("casks", "alpha");
    preinstall("formulae", "beta");
    preinstall("formulae", "delta"); // a formula, while the entry asks for a cask
    const auto result = runHomebrew({cask("Alpha", "alpha"), formula("Beta", "beta"),
                                     formula("Gamma", "gamma"), cask("Delta", "delta")},
                                    homebrew(true, true));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(invocations(), ElementsAre("brew list --cask", "brew list --formula",
                                           "brew upgrade --cask alpha", "brew upgrade beta",
                                           "brew install gamma", "brew install --cask delta"));
}

TEST_F(ShellScriptRun, WithBothOffEveryPackageIsInstalledWithoutInventory) {
    preinstall("casks", "alpha");
    const auto result =
        runHomebrew({cask("Alpha", "alpha"), formula("Beta", "beta")}, homebrew(false, false));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(invocations(), ElementsAre("brew install --cask alpha", "brew install beta"));
}

TEST_F(ShellScriptRun, UpdateRunsFirst) {
    const auto result = runHomebrew({formula("Beta", "beta")}, homebrew(true, false, true));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(invocations(), ElementsAre("brew update", "brew list --cask", "brew list --formula",
                                           "brew install beta"));
}

TEST_F(ShellScriptRun, LogFileInHomeHoldsEverythingTheScriptPrinted) {
    const auto result = runHomebrew({cask("Alpha", "alpha"), formula("Beta", "beta")},
                                    homebrew(false, false, false, true));
    EXPECT_EQ(result.status, 0) << result.output;

    const fs::path logDir = home() / "Library" / "Logs" / "Cairnmoor";
    std::vector<fs::path> logs;
    for (const auto& item : fs::directory_iterator(logDir)) {
        logs.push_back(item.path());
    }
    ASSERT_EQ(logs.size(), 1U);
    EXPECT_THAT(logs[0].filename().string(), MatchesRegex("Cairnmoor-terminal\\.[A-Za-z0-9]{6}"));

    // Reading the output to its end waited for tee, so the file is complete.
    const std::string logged = testing::readFile(logs[0]);
    EXPECT_EQ(logged, result.output);
    EXPECT_THAT(logged, StartsWith("Log: " + logs[0].string() + "\n"));
    EXPECT_THAT(logged, HasSubstr("Warning: beta comes from a fake repository")); // stderr too
    EXPECT_THAT(logged, EndsWith("Done.\n"));
}

TEST_F(ShellScriptRun, FirstFailureStopsTheScriptWithItsStatus) {
    const std::vector<AppEntry> entries = {cask("Alpha", "alpha"), formula("Beta", "beta"),
                                           formula("Gamma", "gamma")};
    const auto result =
        runHomebrew(entries, homebrew(true, true), {{"CAIRNMOOR_FAKE_FAIL", "beta:7"}});
    EXPECT_EQ(result.status, 7);
    EXPECT_THAT(invocations(), ElementsAre("brew list --cask", "brew list --formula",
                                           "brew install --cask alpha", "brew install beta"));
    EXPECT_THAT(result.output, HasSubstr("Error: beta: simulated failure"));
    EXPECT_THAT(result.output, Not(HasSubstr("Done.")));
}

TEST_F(ShellScriptRun, FailingUpdateOrInventoryInstallsNothing) {
    auto result = runHomebrew({formula("Beta", "beta")}, homebrew(true, false, true),
                              {{"CAIRNMOOR_FAKE_UPDATE_FAIL", "3"}});
    EXPECT_EQ(result.status, 3);
    EXPECT_THAT(invocations(), ElementsAre("brew update"));

    fs::remove(state() / "invocations.log");
    result = runHomebrew({formula("Beta", "beta")}, homebrew(true, false),
                         {{"CAIRNMOOR_FAKE_LIST_FAIL", "4"}});
    EXPECT_EQ(result.status, 4);
    EXPECT_THAT(invocations(), ElementsAre("brew list --cask"));
}

TEST_F(ShellScriptRun, CatalogueTextsReachOutputAndManagerUnchanged) {
    const std::string name = "$(echo injected) `echo injected` it's ${HOME} *";
    const auto result = runHomebrew({formula(name, "c++")}, homebrew(true, false));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("Processing " + name + "...\n"));
    EXPECT_THAT(invocations(),
                ElementsAre("brew list --cask", "brew list --formula", "brew install c++"));

    // Once installed, the quoted name is also what the inventory lookup finds.
    fs::remove(state() / "invocations.log");
    const auto again = runHomebrew({formula(name, "c++")}, homebrew(true, false));
    EXPECT_THAT(again.output, HasSubstr("Already installed: " + name + "\n"));
}

TEST_F(ShellScriptRun, MissingGivenManagerStopsBeforeAnyCommand) {
    const auto result = run(ScriptExporter::shellScript(
        {formula("Beta", "beta")}, homebrew(true, false), (dir_ / "no" / "brew").string()));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, notFound);
    EXPECT_THAT(invocations(), IsEmpty());
}

// Without a given path the script searches, and bootstraps Homebrew as a last resort.
class ShellScriptLocating : public ShellScriptRun {
protected:
    void SetUp() override {
        ShellScriptRun::SetUp();
        for (const char* fixed : {"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}) {
            if (fs::exists(fixed)) {
                GTEST_SKIP() << "a real Homebrew at " << fixed << " would be found first";
            }
        }
        fs::create_directories(dir_ / "late");
    }

    // A stand-in for curl that records its arguments and serves the given installer.
    void serveInstaller(const std::string& installer) const {
        const fs::path curl =
            dir_.write("tools/curl", "#!/bin/bash\nprintf '%s\\n' \"$*\" > \"" +
                                         (dir_ / "curl.args").string() + "\"\ncat <<'EOF'\n" +
                                         installer + "\nEOF\n");
        fs::permissions(curl, fs::perms::owner_all);
    }

    testing::CommandOutput runLocating() const {
        const std::string path =
            (dir_ / "tools").string() + ":" + (dir_ / "late").string() + ":/usr/bin:/bin";
        return run(ScriptExporter::shellScript({formula("Beta", "beta")}, homebrew(false, false),
                                               std::nullopt),
                   {{"PATH", path}});
    }
};

TEST_F(ShellScriptLocating, FindsHomebrewOnTheSearchPath) {
    fs::create_symlink(fakeBrew, dir_ / "late" / "brew");
    serveInstaller("exit 99");
    const auto result = runLocating();
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(result.output, Not(HasSubstr("bootstrapping")));
    EXPECT_FALSE(fs::exists(dir_ / "curl.args"));
    EXPECT_THAT(invocations(), ElementsAre("brew install beta"));
}

TEST_F(ShellScriptLocating, BootstrapsFromTheOfficialInstallerThenInstalls) {
    serveInstaller("ln -s '" + fakeBrew + "' '" + (dir_ / "late" / "brew").string() + "'");
    const auto result = runLocating();
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(result.output,
                StartsWith("Homebrew not found - bootstrapping from the official installer...\n"));
    EXPECT_EQ(testing::readFile(dir_ / "curl.args"),
              std::string("-fsSL ") + ScriptExporter::homebrewInstallScriptURL + "\n");
    EXPECT_THAT(invocations(), ElementsAre("brew install beta"));
}

TEST_F(ShellScriptLocating, BootstrapThatInstallsNothingEndsWithTheNotFoundMessage) {
    serveInstaller("echo 'installer ran'");
    const auto result = runLocating();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Homebrew not found - bootstrapping from the official installer...\n"
                             "installer ran\n" +
                                 notFound);
    EXPECT_THAT(invocations(), IsEmpty());
}

// MacPorts scripts need BSD stat and a root-owned /opt/local, so they cannot run whole
// here; their pieces are cut out of the generated text and run against the fake port.
std::string cutOut(const std::string& script, const std::string& first, const std::string& last) {
    const auto lines = splitLines(script);
    std::string piece;
    bool inside = false;
    for (const std::string& line : lines) {
        inside = inside || line == first;
        if (inside) {
            piece += line + "\n";
            if (line == last) {
                return piece;
            }
        }
    }
    ADD_FAILURE() << "no lines from " << first << " to " << last;
    return piece;
}

std::string macportsScript(bool skip, bool upgrade) {
    return ScriptExporter::shellScript(
        {port("Alpha", "alpha")}, options(PackageManager::macports, skip, upgrade, false, false),
        std::nullopt);
}

TEST_F(ShellScriptRun, MacPortsInventoryLoopReadsTheFakesListing) {
    const std::string loop =
        cutOut(macportsScript(true, false), R"(inventory=$("$MANAGER" -q installed active))",
               R"(done <<< "$inventory")");
    const std::string script =
        "set -euo pipefail\nMANAGER=" + fakePort + "\n" + loop + "printf '[%s]' \"$packages\"\n";

    auto result = run(script);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "[]"); // "None of the specified ports are installed."

    preinstall("ports", "alpha");
    preinstall("ports", "py3.12-c++_x");
    result = run(script);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "[alpha\npy3.12-c++_x\n]");

    result = run(script, {{"CAIRNMOOR_FAKE_LIST_GARBAGE", "  alpha @1.0 (inactive)"}});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Unexpected MacPorts inventory:   alpha @1.0 (inactive)\n");
}

TEST_F(ShellScriptRun, MacPortsWrapperRefusesWhenTheCheckFails) {
    const std::string wrapper = cutOut(macportsScript(false, false), "port() {", "}");
    auto result = run("set -euo pipefail\nMANAGER=" + fakePort +
                      "\nverify_macports() { return 1; }\n" + wrapper + "port -N install alpha\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "MacPorts executable trust check failed; refusing sudo.\n");
    EXPECT_THAT(invocations(), IsEmpty());

    if (::geteuid() == 0) { // as root the wrapper runs the manager itself, without sudo
        result = run("set -euo pipefail\nMANAGER=" + fakePort +
                     "\nverify_macports() { return 0; }\n" + wrapper + "port -N install alpha\n");
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_THAT(invocations(), ElementsAre("port -N install alpha"));
    }
}

TEST_F(ShellScriptRun, MacPortsScriptStopsWhenTheInstallationCannotBeTrusted) {
    if (fs::exists("/opt/local/bin/port")) {
        GTEST_SKIP() << "a MacPorts installation is present";
    }
    const auto result = run(macportsScript(true, true));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "MacPorts must be a root-owned, non-writable installation at "
                             "/opt/local/bin/port, without symlinks. Install it from "
                             "https://www.macports.org/install.php.\n");
}

} // namespace
} // namespace cairnmoor
