// The command line's decisions before anything is installed: which check wins, the
// exact message and status of each failure, and that nothing reaches standard output
// or the package manager when a check fails.

#include "CliSandbox.hpp"
#include "buildinfo/BuildInfo.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

const std::string help = "Cairnmoor " + BuildInfo::version() +
                         " - bulk software installer for macOS (Homebrew or MacPorts)\n"
                         "\n"
                         "Usage:\n"
                         "  Cairnmoor                                Launch the graphical app.\n"
                         "  Cairnmoor --profile <file> [--silent]    Install a saved *.cmprofile "
                         "without a window.\n"
                         "  Cairnmoor --help                         Show this help.\n"
                         "  Cairnmoor --version                      Print the version and exit.\n"
                         "\n"
                         "--manager homebrew|macports overrides the saved profile's package "
                         "manager.\n"
                         "MacPorts normally needs root: run this CLI with sudo, or use the GUI's\n"
                         "Install in Terminal action. Homebrew must run as your normal user.\n"
                         "Exit status when installing a profile is non-zero if any package "
                         "failed.\n";
const std::string version = BuildInfo::version() + "\n";
const std::string badFormat =
    "The data couldn\u2019t be read because it isn\u2019t in the correct format.";

struct GrammarCase {
    std::string name;
    std::vector<std::string> arguments;
    std::string out;
    std::string err;
    int status;
};

// Every case runs against the same world: a valid profile (alpha, beta), a broken one,
// one with a zero time limit, the test catalogue and the fake brew on PATH.
class ArgumentGrammar : public ::testing::TestWithParam<GrammarCase> {
protected:
    void SetUp() override {
        sandbox.writeCatalogue();
        sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
        sandbox.writeProfile("zero.cmprofile", {"alpha"},
                             R"({"skipInstalled": true, "upgradeIfPresent": true,
                                 "runUpdateFirst": false, "writeLog": true, "timeoutSeconds": 0})");
        std::ofstream(sandbox.work() / "broken.cmprofile") << R"({"schema": 2, "apps": [)";
    }

    CliSandbox sandbox;
};

TEST_P(ArgumentGrammar, FirstApplicableCheckDecides) {
    const GrammarCase& c = GetParam();
    const CliResult result = sandbox.run(c.arguments);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.status, c.status);
    // No decision before the install may touch the package manager.
    EXPECT_TRUE(sandbox.invocations().empty());
}

const std::string notInstalled = "could not read profile missing.cmprofile: missing.cmprofile: "
                                 "No such file or directory\n";

INSTANTIATE_TEST_SUITE_P(
    Cli, ArgumentGrammar,
    ::testing::Values(
        GrammarCase{"HelpLong", {"--help"}, help, "", 0},
        GrammarCase{"HelpShort", {"-h"}, help, "", 0},
        GrammarCase{"HelpWinsOverProfile", {"--profile", "team.cmprofile", "--help"}, help, "", 0},
        GrammarCase{"HelpWinsOverVersion", {"--version", "-h"}, help, "", 0},
        GrammarCase{"Version", {"--version"}, version, "", 0},
        GrammarCase{
            "VersionWinsOverProfile", {"--profile", "team.cmprofile", "--version"}, version, "", 0},
        GrammarCase{"ManagerWithoutProfile",
                    {"--manager", "macports"},
                    "",
                    "--manager requires --profile <file>\n",
                    2},
        GrammarCase{"ProfileWithoutPath", {"--profile"}, "", "--profile requires a file path\n", 2},
        GrammarCase{"ProfilePathCheckedBeforeManagerName",
                    {"--manager", "nonsense", "--profile"},
                    "",
                    "--profile requires a file path\n",
                    2},
        GrammarCase{"MissingFile", {"--profile", "missing.cmprofile"}, "", notInstalled, 1},
        GrammarCase{"FirstProfileIsUsed",
                    {"--profile", "missing.cmprofile", "--profile", "team.cmprofile"},
                    "",
                    notInstalled,
                    1},
        GrammarCase{"OptionAfterProfileIsThePath",
                    {"--profile", "--silent"},
                    "",
                    "could not read profile --silent: --silent: No such file or directory\n",
                    1},
        GrammarCase{"MalformedProfile",
                    {"--profile", "broken.cmprofile"},
                    "",
                    "could not read profile broken.cmprofile: " + badFormat + "\n",
                    1},
        GrammarCase{"RejectedTimeoutShowsOnlyTheGeneralMessage",
                    {"--profile", "zero.cmprofile"},
                    "",
                    "could not read profile zero.cmprofile: " + badFormat + "\n",
                    1},
        GrammarCase{"UnreadableProfileReportedBeforeManagerName",
                    {"--profile", "broken.cmprofile", "--manager", "MacPorts"},
                    "",
                    "could not read profile broken.cmprofile: " + badFormat + "\n",
                    1},
        GrammarCase{"ManagerNameIsCaseSensitive",
                    {"--profile", "team.cmprofile", "--manager", "Homebrew"},
                    "",
                    "--manager requires homebrew or macports\n",
                    2},
        GrammarCase{"ManagerWithoutName",
                    {"--profile", "team.cmprofile", "--manager"},
                    "",
                    "--manager requires homebrew or macports\n",
                    2},
        GrammarCase{"FirstManagerDecides",
                    {"--profile", "team.cmprofile", "--manager", "port", "--manager", "homebrew"},
                    "",
                    "--manager requires homebrew or macports\n",
                    2}),
    [](const auto& info) { return info.param.name; });

// The checks that need a particular world of their own.
class ProfileValidation : public ::testing::Test {
protected:
    void SetUp() override {
        if (CliSandbox::realHomebrewInTheWay()) {
            GTEST_SKIP() << "a real Homebrew would be found before the fake";
        }
        sandbox.writeCatalogue();
    }

    CliResult runProfile(const std::vector<std::string>& apps,
                         const std::vector<std::string>& more = {}) {
        sandbox.writeProfile("team.cmprofile", apps);
        std::vector<std::string> arguments{"--profile", "team.cmprofile"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return sandbox.run(arguments);
    }

    void expectRejected(const CliResult& result, const std::string& err, int status) {
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, err);
        EXPECT_EQ(result.status, status);
        EXPECT_TRUE(sandbox.invocations().empty());
    }

    CliSandbox sandbox;
};

TEST_F(ProfileValidation, UnknownIdentifiersAreListedOnceInCodePointOrder) {
    expectRejected(runProfile({"zeta", "alpha", "\u00e9clair", "Aardvark", "zeta", "beta"}),
                   "Unknown catalogue IDs: Aardvark, zeta, \u00e9clair.\n", 2);
}

TEST_F(ProfileValidation, UnknownIdentifiersAreReportedBeforeUnmappedOnes) {
    expectRejected(runProfile({"delta", "omega"}), "Unknown catalogue IDs: omega.\n", 2);
}

TEST_F(ProfileValidation, EmptySelectionIsRejected) {
    expectRejected(runProfile({}), "No apps selected.\n", 2);
}

TEST_F(ProfileValidation, EntryWithoutPackageForTheManagerIsRejected) {
    expectRejected(runProfile({"delta", "alpha"}),
                   "No Homebrew mapping for: Delta. Choose another manager or remove these "
                   "apps.\n",
                   2);
}

TEST_F(ProfileValidation, MissingHomebrewIsReportedBeforeTheSelection) {
    sandbox.withoutBrew();
    expectRejected(runProfile({"omega"}),
                   "Homebrew was not found. Install it from https://brew.sh/.\n", 1);
}

TEST_F(ProfileValidation, MissingMacPortsIsReportedWithItsOwnSentence) {
    if (fs::exists("/opt/local/bin/port")) {
        GTEST_SKIP() << "this machine has MacPorts";
    }
    expectRejected(runProfile({"alpha"}, {"--manager", "macports"}),
                   "A trusted root-owned MacPorts installation at /opt/local/bin/port was not "
                   "found. Install it from https://www.macports.org/install.php.\n",
                   1);
}

// The shipped catalogue is found beside the executable; a copy of the executable in a
// prefix of our own shows what happens when that catalogue is missing or damaged.
class CatalogueFailure : public ::testing::Test {
protected:
    void SetUp() override {
        if (CliSandbox::realHomebrewInTheWay()) {
            GTEST_SKIP() << "a real Homebrew would be found before the fake";
        }
        const fs::path bin = prefix / "bin";
        fs::create_directories(bin);
        fs::copy_file(CAIRNMOOR_EXECUTABLE, bin / "Cairnmoor");
        sandbox.executable = bin / "Cairnmoor";
        sandbox.writeProfile("team.cmprofile", {"alpha"});
    }

    TempDir prefix;
    CliSandbox sandbox;
};

TEST_F(CatalogueFailure, MissingShippedCatalogue) {
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "could not load catalogue: The embedded catalogue resource is missing "
                          "from the app bundle.\n");
    EXPECT_EQ(result.status, 1);
}

TEST_F(CatalogueFailure, DamagedShippedCatalogueWithUnusableReplacement) {
    prefix.write("share/cairnmoor/Cairnmoor_CairnmoorCore.bundle/catalog.json", "{\"apps\": 1}");
    sandbox.writeCatalogue("not json");
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "could not load catalogue: The catalogue could not be parsed: " + badFormat + "\n");
    EXPECT_EQ(result.status, 1);
}

TEST_F(CatalogueFailure, ReplacementCatalogueNeedsNoShippedOne) {
    sandbox.writeCatalogue();
    const CliResult result = sandbox.run({"--profile", "team.cmprofile", "--silent"});
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "Summary: 1 processed, 0 failed.\n");
    EXPECT_EQ(result.status, 0);
}

} // namespace
} // namespace cairnmoor::testing
