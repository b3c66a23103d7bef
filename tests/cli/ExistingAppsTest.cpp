// Apps already on the Mac but not from Homebrew: Alpha downloaded from the web, Gamma
// from the App Store. What each choice does, what a failed question to Homebrew does,
// and the plan shown by --dry-run and --check without changing anything.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>

namespace cairnmoor::testing {
namespace {

struct ExistingCase {
    std::string name;
    std::string existingApps; // the profile's choice
    std::vector<std::string> arguments;
    std::map<std::string, std::string> knobs;
    int status;
    std::vector<std::string> output;      // whole lines, in this order, among the output
    std::vector<std::string> invocations; // after the two inventories
    friend void PrintTo(const ExistingCase& c, std::ostream* os) { *os << c.name; }
};

class ExistingApps : public ::testing::TestWithParam<ExistingCase> {};

TEST_P(ExistingApps, AreHandledAsChosenAndNeverOverwrittenUnasked) {
    if (CliSandbox::realHomebrewInTheWay()) {
        GTEST_SKIP() << "a real Homebrew would be found before the fake";
    }
    const ExistingCase& c = GetParam();
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.write("home/Applications/Alpha.app/Contents/Info.plist", "");
    sandbox.write("home/Applications/Gamma.app/Contents/_MASReceipt/receipt", "");
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta", "gamma"},
                         R"({"skipInstalled": true, "upgradeIfPresent": true,
                             "runUpdateFirst": false, "writeLog": false, "timeoutSeconds": 60,
                             "prefetch": false, "existingApps": ")" +
                             c.existingApps + R"("})");
    sandbox.environment.insert(c.knobs.begin(), c.knobs.end());
    std::vector<std::string> arguments{"--profile", "team.cmprofile"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const CliResult result = sandbox.run(arguments);
    EXPECT_EQ(result.status, c.status) << result.out << result.err;
    std::string out = result.out;
    for (std::size_t at; (at = out.find(sandbox.home().string())) != std::string::npos;) {
        out.replace(at, sandbox.home().string().size(), "HOME");
    }
    std::istringstream lines(out);
    std::size_t next = 0;
    for (std::string line; next < c.output.size() && std::getline(lines, line);) {
        next += line == c.output[next];
    }
    EXPECT_EQ(next, c.output.size())
        << "missing: " << c.output[std::min(next, c.output.size() - 1)] << "\n"
        << result.out;
    std::vector<std::string> expected{"brew list --cask", "brew list --formula",
                                      "brew info --json=v2 --cask alpha gamma"};
    expected.insert(expected.end(), c.invocations.begin(), c.invocations.end());
    EXPECT_EQ(sandbox.invocations(), expected);
}

const std::string alphaAt = "/Applications/Alpha.app";

INSTANTIATE_TEST_SUITE_P(
    Cli, ExistingApps,
    ::testing::Values(
        ExistingCase{"Skip",
                     "skip",
                     {},
                     {},
                     0,
                     {"alpha: installedOutside", "beta: installed", "gamma: installedOutside",
                      "Summary: 3 processed, 0 failed."},
                     {"brew install beta"}},
        // The App Store's Gamma is never adopted or replaced, whatever the choice.
        ExistingCase{
            "Adopt",
            "adopt",
            {},
            {},
            0,
            {"$ brew install --cask --adopt alpha", "alpha: installed", "gamma: installedOutside"},
            {"brew install --cask --adopt alpha", "brew install beta"}},
        ExistingCase{"AdoptFailingNeverOverwrites",
                     "adopt",
                     {},
                     {{"CAIRNMOOR_FAKE_FAIL", "alpha"}},
                     1,
                     {"FAILED: Alpha - brew exited with status 1"},
                     {"brew install --cask --adopt alpha", "brew install beta"}},
        ExistingCase{
            "Replace",
            "replace",
            {},
            {},
            0,
            {"$ brew install --cask --force alpha", "alpha: installed", "gamma: installedOutside"},
            {"brew install --cask --force alpha", "brew install beta"}},
        // Without an answer the run goes on as before it knew of such apps.
        ExistingCase{
            "QuestionFails",
            "skip",
            {},
            {{"CAIRNMOOR_FAKE_FAIL", "@info"}},
            1,
            {"Apps installed outside Homebrew cannot be detected in this run (brew "
             "exited with status 1).",
             "FAILED: Alpha - brew exited with status 1"},
            {"brew install --cask alpha", "brew install beta", "brew install --cask gamma"}},
        ExistingCase{
            "DryRunChangesNothing",
            "adopt",
            {"--dry-run", "--silent"},
            {},
            0,
            {"alpha: adopt the app at HOME" + alphaAt, "beta: install",
             "gamma: installed from the App Store at HOME/Applications/Gamma.app, skipped"},
            {}},
        ExistingCase{
            "CheckListsWhatIsMissing", "replace", {"--check"}, {}, 1, {"beta: not installed"}, {}}),
    [](const auto& info) { return info.param.name; });

TEST(ExistingAppsCheck, PassesWhenEverythingIsThereOneWayOrAnother) {
    if (CliSandbox::realHomebrewInTheWay()) {
        GTEST_SKIP() << "a real Homebrew would be found before the fake";
    }
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.write("home/Applications/Alpha.app/Contents/Info.plist", "");
    sandbox.write("state/formulae/beta", "");
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    const CliResult result = sandbox.run({"--profile", "team.cmprofile", "--check"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 0);
}

} // namespace
} // namespace cairnmoor::testing
