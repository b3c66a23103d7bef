#include "ExportTestSupport.hpp"
#include "export/ScriptExporter.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace cairnmoor {
namespace {

using testing::port;

// Every variant the exporter can produce, written to files: both managers, every option
// combination, every way of naming the executable, awkward catalogue texts and both
// short forms. Identical texts are written once.
class ShellScriptLint : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::vector<AppEntry>> selections = {
            {testing::cask("It's `here` $HOME \"quoted\" *", "alpha"),
             testing::formula("Tab\there\nnewline", "c++-tools", "c++-tools"),
             testing::formula("\xE6\x97\xA5\xE6\x9C\xAC", "beta@2", "beta"), port("-n", "gamma")},
            {},
            {testing::unmapped("Nope $(x)"), port("One", "one")}};
        const std::vector<std::optional<std::string>> paths = {
            std::nullopt, "/opt/local/bin/port", "/opt/homebrew/bin/brew", "/Users/a b/it's/brew"};
        std::set<std::string> seen;
        for (const PackageManager manager : PackageManager::allCases) {
            for (int bits = 0; bits < 16; ++bits) {
                const auto opts = testing::options(manager, (bits & 1) != 0, (bits & 2) != 0,
                                                   (bits & 4) != 0, (bits & 8) != 0);
                for (const auto& selection : selections) {
                    for (const auto& path : paths) {
                        const auto script = ScriptExporter::shellScript(selection, opts, path);
                        if (seen.insert(script).second) {
                            const auto name = "script-" + std::to_string(files_.size()) + ".sh";
                            files_.push_back(dir_.write(name, script).string());
                        }
                    }
                }
            }
        }
    }

    testing::CommandOutput check(std::vector<std::string> command) const {
        command.insert(command.end(), files_.begin(), files_.end());
        return testing::runCommand(
            command,
            {{"PATH", "/usr/bin:/bin"}, {"HOME", dir_.path().string()}, {"LC_ALL", "C.UTF-8"}});
    }

    testing::TempDir dir_;
    std::vector<std::string> files_;
};

TEST_F(ShellScriptLint, EveryVariantParsesInBash) {
    // One bash run checks them all; a failing file names itself in the output.
    const auto result = check({"/bin/bash", "-c",
                               "status=0; for f in \"$@\"; do bash -n \"$f\" || "
                               "{ echo \"FAILED: $f\"; status=1; }; done; exit $status",
                               "lint"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

TEST_F(ShellScriptLint, EveryVariantPassesShellcheck) {
    if (::access("/usr/bin/shellcheck", X_OK) != 0) {
        GTEST_SKIP() << "shellcheck is not installed";
    }
    const auto result =
        check({"/usr/bin/shellcheck", "--shell=bash", "--severity=style", "--format=gcc",
               // SC2016: single-quoted "$HOME" or backticks in an app name
               // are meant literally; that is what the quoting is for.
               "--exclude=SC2016",
               // SC2034: the Homebrew inventory always reads both lists, so
               // a selection without casks (or without formulae) leaves one
               // of them unused; reading it is harmless.
               "--exclude=SC2034"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

} // namespace
} // namespace cairnmoor
