// Profile installs through the fake brew: what the user sees on each stream, the
// status, what the manager was asked to do, and that no log file is left behind.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

// The fake's merged output for a fresh formula install (its warning comes through stderr).
std::string installOutput(const std::string& name) {
    return "==> Downloading https://downloads.example.invalid/" + name +
           "-1.0.0.tar.gz\n==> Fetching " + name + "\nWarning: " + name +
           " comes from a fake repository\n==> Installing formula " + name +
           "\n==> Summary: " + name + " 1.0.0 installed\n";
}

class HeadlessInstall : public ::testing::Test {
protected:
    void SetUp() override {
        if (CliSandbox::realHomebrewInTheWay()) {
            GTEST_SKIP() << "a real Homebrew would be found before the fake";
        }
        sandbox.writeCatalogue();
    }

    // Every profile here asks for a log; the command line never writes one.
    void TearDown() override {
        for (const fs::path& file : sandbox.filesLeft()) {
            EXPECT_TRUE(file.filename() == "catalog.json" || file.extension() == ".cmprofile")
                << "stray file " << file;
        }
        EXPECT_FALSE(fs::exists(sandbox.home() / "Library" / "Logs"));
    }

    std::string header(std::size_t count, const std::string& path) const {
        return "Installing " + std::to_string(count) + " app(s) from " + path + " using " +
               sandbox.brewPath() + "...\n";
    }

    CliSandbox sandbox;
};

// Duplicates count once, the catalogue's order wins, the path is shown as typed, and
// a failure shows as it happens and again after the run.
TEST_F(HeadlessInstall, FailingPackageInAnOtherwiseGoodRun) {
    fs::create_directories(sandbox.work() / "profiles");
    sandbox.writeProfile("profiles/team.cmprofile", {"beta", "alpha", "beta"});
    sandbox.environment["CAIRNMOOR_FAKE_FAIL"] = "alpha:3";
    const std::string typed = "./profiles/../profiles/team.cmprofile";
    const CliResult result = sandbox.run({"--profile", typed});
    EXPECT_EQ(result.out, header(2, typed) +
                              "alpha: installing\n$ brew install --cask alpha\n"
                              "Error: alpha: simulated failure\n"
                              "alpha: failed(\"brew exited with status 3\")\n"
                              "beta: installing\n$ brew install beta\n" +
                              installOutput("beta") +
                              "beta: installed\nFAILED: Alpha - brew exited with status 3\n"
                              "Summary: 2 processed, 1 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 1);
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

// Every saved option reaches the engine; only the manager is overridden (the first
// --manager decides), and a package left as it was is no failure.
TEST_F(HeadlessInstall, SavedOptionsAndManagerOverrideReachTheRun) {
    sandbox.preinstall("casks", "alpha");
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"},
                         R"({"packageManager": "macports", "skipInstalled": true,
                             "upgradeIfPresent": false, "runUpdateFirst": true,
                             "writeLog": true, "timeoutSeconds": 60})");
    const CliResult result = sandbox.run(
        {"--profile", "team.cmprofile", "--manager", "homebrew", "--manager", "macports"});
    EXPECT_EQ(result.out, header(2, "team.cmprofile") +
                              "$ brew update\n==> Updating the package index\nAlready "
                              "up-to-date.\nalpha: alreadyPresent\nbeta: installing\n"
                              "$ brew install beta\n" +
                              installOutput("beta") +
                              "beta: installed\nSummary: 2 processed, 0 failed.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

// A busy command's output lines arrive on another thread than the progress lines;
// every line must still come out whole.
TEST_F(HeadlessInstall, LinesStayWholeUnderFloodingOutput) {
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    sandbox.environment["CAIRNMOOR_FAKE_FLOOD"] = "alpha:3000 beta:3000";
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    ASSERT_EQ(result.status, 0);
    ASSERT_TRUE(result.out.ends_with("beta: installed\nSummary: 2 processed, 0 failed.\n"));
    std::size_t flooded = 0;
    for (std::size_t start = 0, end; start < result.out.size(); start = end + 1) {
        end = result.out.find('\n', start);
        const std::string line = result.out.substr(start, end - start);
        if (line.starts_with("==> Unpacking")) {
            ++flooded;
            EXPECT_TRUE(line.ends_with("/3000")) << line;
        }
    }
    EXPECT_EQ(flooded, 6000u);
}

} // namespace
} // namespace cairnmoor::testing
