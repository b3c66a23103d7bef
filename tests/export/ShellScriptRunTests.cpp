#include "ExportTestSupport.hpp"
#include "export/ScriptExporter.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::cask;
using ::testing::EndsWith;
using testing::formula;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string fakeBrew = CAIRNMOOR_FAKES_DIR "/brew";
const std::string notFound =
    "Homebrew not found. Install it from https://brew.sh/ and run again.\n";
const std::string lists = "brew list --cask\nbrew list --formula\n";
// A catalogue name that would run commands or expand if it ever went unquoted.
const std::string nasty = "$(echo injected) `echo injected` it's ${HOME} *";

InstallOptions homebrew(bool skip, bool upgrade, bool update = false, bool log = false) {
    return testing::options(PackageManager::homebrew, skip, upgrade, update, log);
}

// Generated scripts run by real bash against the fake manager, in a temporary HOME. The
// fake is reached through a folder whose name only survives correct quoting.
class ShellScriptRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(fakeBrew)) << fakeBrew;
        fs::create_directories(dir_ / "home");
        fs::create_directories(dir_ / "it's here");
        fs::create_symlink(fakeBrew, dir_ / "it's here" / "brew");
    }

    void preinstall(const std::string& folder, const std::string& name) const {
        dir_.write("state/" + folder + "/" + name, "1.0.0\n");
    }

    testing::CommandOutput run(const std::string& script,
                               const std::map<std::string, std::string>& extra = {}) const {
        std::map<std::string, std::string> environment = {
            {"PATH", "/usr/bin:/bin"},
            {"HOME", (dir_ / "home").string()},
            {"CAIRNMOOR_FAKE_STATE", (dir_ / "state").string()},
            {"LC_ALL", "C.UTF-8"}};
        for (const auto& [name, value] : extra) {
            environment[name] = value;
        }
        return testing::runCommand({"/bin/bash", dir_.write("install.sh", script).string()},
                                   environment);
    }

    testing::CommandOutput runHomebrew(const std::vector<AppEntry>& entries,
                                       const InstallOptions& opts,
                                       const std::map<std::string, std::string>& extra = {},
                                       const std::string& brew = "it's here/brew") const {
        return run(ScriptExporter::shellScript(entries, opts, (dir_ / brew).string()), extra);
    }

    // Every command line the fake saw, in order; the record then starts afresh.
    std::string invocations() const {
        const fs::path log = dir_ / "state" / "invocations.log";
        const std::string lines = fs::exists(log) ? testing::readFile(log) : "";
        fs::remove(log);
        return lines;
    }

    testing::TempDir dir_;
};

struct RunCase {
    const char* name;
    InstallOptions options;
    const char* knob; // the fake's failure knob and its value, or nothing
    const char* value;
    int status;
    std::string invocations;
    std::string output; // a piece the output holds
};

// Test names show the case, not its bytes.
void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class ShellScriptInstall : public ShellScriptRun, public ::testing::WithParamInterface<RunCase> {};

// Alpha and Beta are installed, Gamma is not, and Delta (a cask) and Capital (whose
// type is not exactly "cask") are installed only as formulae.
TEST_P(ShellScriptInstall, RunsExactlyTheManagerCommandsTheOptionsCallFor) {
    const RunCase& test = GetParam();
    AppEntry capital = formula("Capital", "capital");
    capital.macos->type = "Cask";
    preinstall("casks", "alpha");
    preinstall("formulae", "c++");
    preinstall("formulae", "delta");
    preinstall("formulae", "capital");
    std::map<std::string, std::string> knobs;
    if (*test.knob != '\0') {
        knobs[test.knob] = test.value;
    }
    const auto result = runHomebrew({cask("Alpha", "alpha"), formula(nasty, "c++"),
                                     formula("Gamma", "gamma"), cask("Delta", "delta"), capital},
                                    test.options, knobs);
    EXPECT_EQ(result.status, test.status) << result.output;
    EXPECT_EQ(invocations(), test.invocations);
    EXPECT_THAT(result.output, HasSubstr(test.output));
    if (test.status == 0) {
        EXPECT_THAT(result.output, EndsWith("\nDone.\n"));
    } else {
        EXPECT_THAT(result.output, Not(HasSubstr("Done.")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Homebrew, ShellScriptInstall,
    ::testing::Values(
        RunCase{"SkipOnly", homebrew(true, false), "", "", 0,
                lists + "brew install gamma\nbrew install --cask delta\n",
                "Processing " + nasty + "...\nAlready installed: " + nasty + "\n"},
        RunCase{"Upgrade", homebrew(true, true), "", "", 0,
                lists + "brew upgrade --cask alpha\nbrew upgrade c++\nbrew install gamma\n"
                        "brew install --cask delta\nbrew upgrade capital\n",
                "Processing Capital...\n"},
        RunCase{"BothOffInstallsEverythingWithoutInventory", homebrew(false, false), "", "", 0,
                "brew install --cask alpha\nbrew install c++\nbrew install gamma\n"
                "brew install --cask delta\nbrew install capital\n",
                "Processing Alpha...\n"},
        RunCase{"UpdateFirst", homebrew(true, false, true), "", "", 0,
                "brew update\n" + lists + "brew install gamma\nbrew install --cask delta\n",
                "Already up-to-date.\n"},
        RunCase{"FailingPackageStopsWithItsStatus", homebrew(true, true), "CAIRNMOOR_FAKE_FAIL",
                "c++:7", 7, lists + "brew upgrade --cask alpha\nbrew upgrade c++\n",
                "Error: c++: simulated failure"},
        RunCase{"FailingUpdateInstallsNothing", homebrew(true, false, true),
                "CAIRNMOOR_FAKE_UPDATE_FAIL", "3", 3, "brew update\n", "Failed to update"},
        RunCase{"FailingInventoryInstallsNothing", homebrew(true, false),
                "CAIRNMOOR_FAKE_LIST_FAIL", "4", 4, "brew list --cask\n", "could not read"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellScriptRun, LogFileInHomeHoldsEverythingTheScriptPrinted) {
    const auto result = runHomebrew({cask("Alpha", "alpha"), formula("Beta", "beta")},
                                    homebrew(false, false, false, true));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(invocations(), "brew install --cask alpha\nbrew install beta\n");

    std::vector<fs::path> logs;
    for (const auto& item : fs::directory_iterator(dir_ / "home/Library/Logs/Cairnmoor")) {
        logs.push_back(item.path());
    }
    ASSERT_EQ(logs.size(), 1U);
    EXPECT_THAT(logs[0].filename().string(),
                ::testing::MatchesRegex("Cairnmoor-terminal\\.[A-Za-z0-9]{6}"));
    // Reading the output to its end waited for tee, so the file is complete.
    const std::string logged = testing::readFile(logs[0]);
    EXPECT_EQ(logged, result.output);
    EXPECT_THAT(logged, StartsWith("Log: " + logs[0].string() + "\n"));
    EXPECT_THAT(logged, HasSubstr("Warning: beta comes from a fake repository")); // stderr too
    EXPECT_THAT(logged, EndsWith("Done.\n"));
}

TEST_F(ShellScriptRun, MissingGivenManagerStopsBeforeAnyCommand) {
    const auto result =
        runHomebrew({formula("Beta", "beta")}, homebrew(true, false), {}, "no/brew");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, notFound);
    EXPECT_EQ(invocations(), "");
}

// Without a given path the script searches, and bootstraps Homebrew as a last resort
// through a stand-in for curl that records its arguments and serves the installer.
TEST_F(ShellScriptRun, LocatesOrBootstrapsHomebrewWhenNoPathIsGiven) {
    for (const char* fixed : {"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}) {
        if (fs::exists(fixed)) {
            GTEST_SKIP() << "a real Homebrew at " << fixed << " would be found first";
        }
    }
    const fs::path late = dir_ / "late", args = dir_ / "curl.args";
    fs::create_directories(late);
    const auto runLocating = [&](const std::string& installer) {
        fs::remove(args);
        const fs::path curl =
            dir_.write("tools/curl", "#!/bin/bash\nprintf '%s\\n' \"$*\" > '" + args.string() +
                                         "'\ncat <<'EOF'\n" + installer + "\nEOF\n");
        fs::permissions(curl, fs::perms::owner_all);
        return run(ScriptExporter::shellScript({formula("Beta", "beta")}, homebrew(false, false),
                                               std::nullopt),
                   {{"PATH", (dir_ / "tools").string() + ":" + late.string() + ":/usr/bin:/bin"}});
    };
    const std::string bootstrapping =
        "Homebrew not found - bootstrapping from the official installer...\n";

    // Apple silicon looks in its own prefix first, Intel Macs in theirs.
    EXPECT_THAT(ScriptExporter::shellScript({formula("Beta", "beta")}, homebrew(false, false),
                                            std::nullopt),
                HasSubstr(R"x(    if [[ "$(uname -m)" == arm64 ]]; then
        candidates=(/opt/homebrew/bin/brew /usr/local/bin/brew)
    else
        candidates=(/usr/local/bin/brew /opt/homebrew/bin/brew)
    fi
)x"));

    auto result = runLocating("echo 'installer ran'");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, bootstrapping + "installer ran\n" + notFound);
    EXPECT_EQ(invocations(), "");

    result = runLocating("ln -s '" + fakeBrew + "' '" + (late / "brew").string() + "'");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(result.output, StartsWith(bootstrapping));
    EXPECT_EQ(testing::readFile(args),
              std::string("-fsSL ") + ScriptExporter::homebrewInstallScriptURL + "\n");
    EXPECT_EQ(invocations(), "brew install beta\n");

    result = runLocating("exit 99"); // now found on the search path
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_THAT(result.output, Not(HasSubstr("bootstrapping")));
    EXPECT_FALSE(fs::exists(args));
    EXPECT_EQ(invocations(), "brew install beta\n");
}

// MacPorts scripts need BSD stat and a root-owned /opt/local, so they cannot run whole
// here; the inventory loop is cut out of the generated text and run against the fake.
TEST_F(ShellScriptRun, MacPortsInventoryLoopReadsTheFakesListing) {
    const std::string script = ScriptExporter::shellScript(
        {testing::port("Alpha", "alpha")}, testing::options(PackageManager::macports, true, false),
        std::nullopt);
    const std::string first = "inventory=$(", last = "done <<< \"$inventory\"\n";
    const auto start = script.find(first);
    ASSERT_NE(start, std::string::npos);
    const std::string loop = "set -euo pipefail\nMANAGER=" CAIRNMOOR_FAKES_DIR "/port\n" +
                             script.substr(start, script.find(last) + last.size() - start) +
                             "printf '[%s]' \"$packages\"\n";

    auto result = run(loop);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "[]"); // "None of the specified ports are installed."

    preinstall("ports", "alpha");
    preinstall("ports", "py3.12-c++_x");
    result = run(loop);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "[alpha\npy3.12-c++_x\n]");

    result = run(loop, {{"CAIRNMOOR_FAKE_LIST_GARBAGE", "  alpha @1.0 (inactive)"}});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Unexpected MacPorts inventory:   alpha @1.0 (inactive)\n");
}

} // namespace
} // namespace cairnmoor
