// Profile installs through the fake brew: what the user sees on each stream, the
// status, and what the manager was asked to do.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

// The fake's merged output for a fresh install (its warning comes through stderr).
std::string installOutput(const std::string& name, bool cask) {
    return "==> Downloading https://downloads.example.invalid/" + name +
           "-1.0.0.tar.gz\n"
           "==> Fetching " +
           name + "\nWarning: " + name + " comes from a fake repository\n==> Installing " +
           (cask ? "Cask " : "formula ") + name + "\n==> Summary: " + name + " 1.0.0 installed\n";
}

const std::string noInventory = R"({"skipInstalled": false, "upgradeIfPresent": false,
    "runUpdateFirst": false, "writeLog": true, "timeoutSeconds": 60})";

class HeadlessInstall : public ::testing::Test {
protected:
    void SetUp() override {
        if (CliSandbox::realHomebrewInTheWay()) {
            GTEST_SKIP() << "a real Homebrew would be found before the fake";
        }
        sandbox.writeCatalogue();
    }

    std::string header(std::size_t count, const std::string& path) const {
        return "Installing " + std::to_string(count) + " app(s) from " + path + " using " +
               sandbox.brewPath() + "...\n";
    }

    CliSandbox sandbox;
};

TEST_F(HeadlessInstall, EverythingInstallsInCatalogueOrder) {
    sandbox.writeProfile("team.cmprofile", {"beta", "alpha", "beta"});
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    EXPECT_EQ(result.out, header(2, "team.cmprofile") +
                              "alpha: installing\n$ brew install --cask alpha\n" +
                              installOutput("alpha", true) +
                              "alpha: installed\nbeta: installing\n$ brew install beta\n" +
                              installOutput("beta", false) +
                              "beta: installed\nSummary: 2 processed, 0 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(sandbox.invocations(),
              (std::vector<std::string>{"brew list --cask", "brew list --formula",
                                        "brew install --cask alpha", "brew install beta"}));
}

TEST_F(HeadlessInstall, SilentRunShowsOnlyFailuresAndSummary) {
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta", "gamma"});
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "alpha gamma:7";
    const CliResult result = sandbox.run({"--silent", "--profile", "team.cmprofile"});
    EXPECT_EQ(result.out, "FAILED: Alpha - brew exited with status 1\n"
                          "FAILED: Gamma - brew exited with status 7\n"
                          "Summary: 3 processed, 2 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 1);
    // One failure does not stop the others.
    EXPECT_TRUE(fs::exists(sandbox.state() / "formulae" / "beta"));
}

TEST_F(HeadlessInstall, FailureShowsInProgressAndAfterTheRun) {
    sandbox.writeProfile("team.cmprofile", {"alpha"}, noInventory);
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "alpha:3";
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    EXPECT_EQ(result.out, header(1, "team.cmprofile") +
                              "alpha: installing\n$ brew install --cask alpha\n"
                              "Error: alpha: simulated failure\n"
                              "alpha: failed(\"brew exited with status 3\")\n"
                              "FAILED: Alpha - brew exited with status 3\n"
                              "Summary: 1 processed, 1 failed.\n");
    EXPECT_EQ(result.status, 1);
}

TEST_F(HeadlessInstall, PresentPackagesAreNotFailures) {
    sandbox.preinstall("casks", "alpha");
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"},
                         R"({"skipInstalled": true, "upgradeIfPresent": false,
                             "runUpdateFirst": false, "writeLog": false, "timeoutSeconds": 60})");
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    EXPECT_EQ(result.out, header(2, "team.cmprofile") + "alpha: alreadyPresent\n" +
                              "beta: installing\n$ brew install beta\n" +
                              installOutput("beta", false) +
                              "beta: installed\nSummary: 2 processed, 0 failed.\n");
    EXPECT_EQ(result.status, 0);
}

TEST_F(HeadlessInstall, ProfilePathIsShownAsTyped) {
    fs::create_directories(sandbox.work() / "profiles");
    sandbox.writeProfile("profiles/team.cmprofile", {"beta"});
    const std::string typed = "./profiles/../profiles/team.cmprofile";
    const CliResult result = sandbox.run({"--profile", typed});
    EXPECT_EQ(result.out.substr(0, result.out.find('\n') + 1), header(1, typed));
    EXPECT_EQ(result.status, 0);
}

// Every option reaches the engine as saved; only the manager can be overridden.
TEST_F(HeadlessInstall, SavedOptionsAndManagerOverrideReachTheRun) {
    sandbox.preinstall("formulae", "beta");
    sandbox.writeProfile("team.cmprofile", {"beta"},
                         R"({"packageManager": "macports", "skipInstalled": true,
                             "upgradeIfPresent": true, "runUpdateFirst": true,
                             "writeLog": true, "timeoutSeconds": 60})");
    const CliResult result = sandbox.run(
        {"--profile", "team.cmprofile", "--manager", "homebrew", "--manager", "macports"});
    EXPECT_EQ(result.out, header(1, "team.cmprofile") +
                              "$ brew update\n==> Updating the package index\nAlready "
                              "up-to-date.\nbeta: installing\n$ brew upgrade beta\n"
                              "==> Upgrading 1 outdated package:\nbeta 1.0.0 -> 1.0.0.1\n"
                              "==> Summary: beta 1.0.0.1 installed\nbeta: installed\n"
                              "Summary: 1 processed, 0 failed.\n");
    EXPECT_EQ(result.status, 0);
}

TEST_F(HeadlessInstall, RunWideFailureFailsEveryEntry) {
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    sandbox.environment["CAIRNMOOR_FAKE_LIST_FAIL"] = "4";
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    // The reason is the inventory's own text, sent to the log once before the states.
    const std::string headerLine = header(2, "team.cmprofile");
    ASSERT_EQ(result.out.substr(0, headerLine.size()), headerLine);
    const std::size_t reasonEnd = result.out.find('\n', headerLine.size());
    const std::string reason = result.out.substr(headerLine.size(), reasonEnd - headerLine.size());
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(result.out, headerLine + reason + "\nalpha: failed(\"" + reason +
                              "\")\nbeta: failed(\"" + reason + "\")\nFAILED: Alpha - " + reason +
                              "\nFAILED: Beta - " + reason + "\nSummary: 2 processed, 2 failed.\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(sandbox.invocations(), std::vector<std::string>{"brew list --cask"});
}

// A message with quotes, a backslash and a tab stays on its one progress line.
TEST_F(HeadlessInstall, FailureMessageIsQuotedAsALiteral) {
    const fs::path odd = sandbox.work() / "we\"ird\\\tbin";
    fs::create_directories(odd);
    const fs::path brew = odd / "brew";
    std::ofstream(brew) << "#!/nonexistent/interpreter\n";
    fs::permissions(brew, fs::perms::owner_all);
    sandbox.withoutBrew();
    sandbox.environment["PATH"] = odd.string() + ":/usr/bin:/bin";
    sandbox.writeProfile("team.cmprofile", {"alpha"}, noInventory);

    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    const std::string message = "Could not launch " + brew.string() + ".";
    std::string escaped;
    for (const char c : brew.string()) {
        escaped += c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\t' ? "\\t" : std::string(1, c);
    }
    EXPECT_EQ(result.out, "Installing 1 app(s) from team.cmprofile using " + brew.string() +
                              "...\nalpha: installing\n$ brew install --cask alpha\n" + message +
                              "\nalpha: failed(\"Could not launch " + escaped +
                              ".\")\nFAILED: Alpha - " + message +
                              "\nSummary: 1 processed, 1 failed.\n");
    EXPECT_EQ(result.status, 1);
}

TEST_F(HeadlessInstall, NoLogFileIsWritten) {
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "beta";
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--profile", "team.cmprofile"},
          std::vector<std::string>{"--profile", "team.cmprofile", "--silent"}}) {
        EXPECT_EQ(sandbox.run(arguments).status, 1);
    }
    // Only what the test itself wrote is there.
    EXPECT_EQ(sandbox.filesLeft().size(), 2u);
    EXPECT_FALSE(fs::exists(sandbox.home() / "Library" / "Logs"));
}

// Output lines of a busy command arrive on another thread than the progress lines;
// every line must still come out whole.
TEST_F(HeadlessInstall, LinesStayWholeUnderFloodingOutput) {
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"}, noInventory);
    sandbox.environment["CAIRNMOOR_FAKE_FLOOD"] = "alpha:3000 beta:3000";
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    ASSERT_EQ(result.status, 0);
    std::size_t flooded = 0;
    std::size_t start = 0;
    while (start < result.out.size()) {
        const std::size_t end = result.out.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "unterminated last line";
        const std::string line = result.out.substr(start, end - start);
        if (line.starts_with("==> Unpacking")) {
            ++flooded;
            EXPECT_TRUE(line.ends_with("/3000")) << line;
        }
        start = end + 1;
    }
    EXPECT_EQ(flooded, 6000u);
    EXPECT_TRUE(result.out.ends_with("beta: installed\nSummary: 2 processed, 0 failed.\n"));
}

} // namespace
} // namespace cairnmoor::testing
