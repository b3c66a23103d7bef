// The command line's decisions before anything is installed: which check wins, the
// exact message and status of each failure, and that nothing reaches standard output
// or the package manager when a check fails.

#include "CliSandbox.hpp"
#include "buildinfo/BuildInfo.hpp"
#include "cli/TerminalText.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <sstream>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

// The help text is kept as data beside the tests, with the version left open.
std::string helpText() {
    std::string text = readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/cli/help.txt");
    text.replace(text.find("@VERSION@"), 9, BuildInfo::version());
    return text;
}
const std::string help = helpText();
const std::string badFormat =
    "The data couldn\u2019t be read because it isn\u2019t in the correct format.\n";

// Arguments and apps are written as space-separated words. A run that succeeds prints
// `text` on standard output; one that fails prints it on standard error.
struct GrammarCase {
    std::string name;
    std::string arguments;
    int status;
    std::string text;
    std::string apps = "alpha beta"; // of team.cmprofile
    bool withBrew = true;
};

// Test names show the case, not its bytes.
void PrintTo(const GrammarCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string word; stream >> word;) {
        result.push_back(word);
    }
    return result;
}

// Each case gets a world of its own: team.cmprofile, a broken profile, one with a zero
// time limit, the test catalogue and (unless the case says otherwise) the fake brew.
class ArgumentGrammar : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(ArgumentGrammar, FirstApplicableCheckDecides) {
    const GrammarCase& c = GetParam();
    if (!c.withBrew && CliSandbox::realHomebrewInTheWay()) {
        GTEST_SKIP() << "a real Homebrew would be found";
    }
    if (c.name == "MissingMacPorts" && fs::exists("/opt/local/bin/port")) {
        GTEST_SKIP() << "this machine has MacPorts";
    }
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.writeProfile("team.cmprofile", words(c.apps));
    sandbox.writeProfile("zero.cmprofile", {"alpha"},
                         R"({"skipInstalled": true, "upgradeIfPresent": true,
                             "runUpdateFirst": false, "writeLog": true, "timeoutSeconds": 0})");
    sandbox.write("work/broken.cmprofile", R"({"schema": 2, "apps": [)");
    sandbox.write("work/big.cmprofile", "");
    fs::resize_file(sandbox.work() / "big.cmprofile", (std::uintmax_t{64} << 20) + 1);
    if (!c.withBrew) {
        fs::remove(sandbox.brewPath());
    }
    const CliResult result = sandbox.run(words(c.arguments));
    EXPECT_EQ(result.out, c.status == 0 ? c.text : "");
    EXPECT_EQ(result.err, c.status == 0 ? "" : c.text);
    EXPECT_EQ(result.status, c.status);
    // No decision before the install may touch the package manager.
    EXPECT_TRUE(sandbox.invocations().empty());
}

const std::string team = "--profile team.cmprofile";
const std::string unreadable = "could not read profile ";
const std::string managerName = "--manager requires homebrew or macports\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cli, ArgumentGrammar, ::testing::Values(
    GrammarCase{"HelpWinsOverVersionAndProfile", team + " --version --help", 0, help}, GrammarCase{"ShortHelp", "-h", 0, help},
        GrammarCase{"VersionWinsOverProfile", team + " --version", 0, BuildInfo::version() + "\n"},
    GrammarCase{"ManagerWithoutProfile", "--manager macports", 2, "--manager requires --profile <file>\n"},
    GrammarCase{"LogWithoutPath", team + " --log", 2, "--log requires a file path\n"},
    GrammarCase{"ReportOrLogOnlyWithAnInstall", team + " --check --log run.log", 2,
                "--report and --log go with an install, not with --dry-run or --check\n"},
    GrammarCase{"ReportNeverReplacesTheProfile", team + " --report ./team.cmprofile", 2,
                "--report would replace the profile team.cmprofile\n"},
    GrammarCase{"ProfilePathCheckedBeforeManagerName", "--manager nonsense --profile", 2, "--profile requires a file path\n"},
    GrammarCase{"FirstProfileIsUsed", "--profile missing.cmprofile " + team, 1,
                unreadable + "missing.cmprofile: missing.cmprofile: No such file or directory\n"},
    GrammarCase{"UnreadableProfileBeforeManagerName", "--profile broken.cmprofile --manager MacPorts", 1,
                unreadable + "broken.cmprofile: " + badFormat},
    GrammarCase{"RejectedTimeoutShowsOnlyTheGeneralMessage", "--profile zero.cmprofile", 1, unreadable + "zero.cmprofile: " + badFormat},
    GrammarCase{"OversizedProfile", "--profile big.cmprofile", 1,
                unreadable + "big.cmprofile: big.cmprofile: The file is larger than 64 MiB, too large to be read\n"},
    GrammarCase{"PathEscaped", "--profile \x1b[2J.cmprofile", 1,
                unreadable + "\\u{1b}[2J.cmprofile: \\u{1b}[2J.cmprofile: No such file or directory\n"},
    GrammarCase{"ManagerWithoutName", team + " --manager", 2, managerName},
    GrammarCase{"FirstManagerDecidesCaseSensitively", team + " --manager Homebrew --manager homebrew", 2, managerName},
    GrammarCase{"MissingHomebrewBeforeTheSelection", team, 1, "Homebrew was not found. Install it from https://brew.sh/.\n", "omega", false},
    GrammarCase{"MissingMacPorts", team + " --manager macports", 1,
                "A trusted root-owned MacPorts installation at /opt/local/bin/port was not found. Install it from "
                "https://www.macports.org/install.php.\n"},
    GrammarCase{"UnknownIdentifiersListedOnceInCodePointOrder", team, 2, "Unknown catalogue IDs: Aardvark, zeta, \u00e9clair.\n",
                "zeta alpha \u00e9clair Aardvark zeta beta"},
    GrammarCase{"UnknownIdentifiersBeforeUnmappedOnes", team, 2, "Unknown catalogue IDs: omega.\n", "delta omega"},
    GrammarCase{"EmptySelection", team, 2, "No apps selected.\n", ""},
    GrammarCase{"EntryWithoutPackageForTheManager", team, 2,
                "No Homebrew mapping for: Delta. Choose another manager or remove these apps.\n", "delta alpha"},
    GrammarCase{"CaptureWithoutPath", "--capture --silent", 2, "--capture requires a file path\n"},
    GrammarCase{"CaptureGoesAlone", "--capture mac.cmprofile " + team, 2, "--profile does not go with --capture\n"},
    GrammarCase{"CaptureWithoutHomebrew", "--capture mac.cmprofile", 1, "Homebrew was not found. Install it from https://brew.sh/.\n",
                "", false},
    GrammarCase{"BrewfileOrProfile", "--brewfile Brewfile " + team, 2, "--brewfile and --profile go one at a time\n"},
    GrammarCase{"BrewfileWithoutPath", "--brewfile", 2, "--brewfile requires a file path\n"},
    GrammarCase{"MissingBrewfile", "--brewfile Brewfile", 1, "could not read Brewfile Brewfile: Brewfile: No such file or directory\n"}),
    [](const auto& info) { return info.param.name; });
// clang-format on

// Whatever came from a file or a child stays on its line and cannot restyle the terminal;
// printable text, UTF-8 included, is left alone, and what is not UTF-8 shows as U+FFFD.
TEST(Escaping, KeepsEveryMessageOnItsLine) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {R"(say "hi" it's C:\path\)", R"("say \"hi\" it's C:\\path\\")"},
        {std::string("a\nb\rc\td\0end", 11), R"("a\nb\rc\td\0end")"},
        {"\x1b[31mred\x1b[0m\x7f\x01", R"("\u{1b}[31mred\u{1b}[0m\u{7f}\u{1}")"},
        {"next\u0085line \u009b\u009f\u0080", R"("next\u{85}line \u{9b}\u{9f}\u{80}")"},
        // Text that reads in another order, hides, or breaks the line without a control.
        {"\u202egnp.exe\u202c \u2066a\u2069\u061c \u200bx\u200f\u00ad\ufeff\U000E0041",
         R"("\u{202e}gnp.exe\u{202c} \u{2066}a\u{2069}\u{61c} \u{200b}x\u{200f}\u{ad}\u{feff}\u{e0041}")"},
        {"one\u2028two\u2029\u2027\u200a\u00a0", "\"one\\u{2028}two\\u{2029}\u2027\u200a\u00a0\""},
        {"caf\u00e9 \u2014 \U0001F600 \u00c2", "\"caf\u00e9 \u2014 \U0001F600 \u00c2\""},
        {"cut \xc2 \xff", "\"cut \uFFFD \uFFFD\""}};
    // clang-format on
    for (const auto& [text, literal] : cases) {
        EXPECT_EQ(CLI::stringLiteral(text), literal);
    }
    EXPECT_EQ(CLI::displayText("tab\tstays \"quoted\" \x1b[2J"),
              "tab\tstays \"quoted\" \\u{1b}[2J");
}

// A copy of the executable in a prefix of our own, whose shipped catalogue is damaged
// and whose user's replacement is unusable: the loader's reason reaches the user.
TEST(CatalogueFailure, IsReportedWithTheLoadersReason) {
    SKIP_WHERE_A_REAL_HOMEBREW_WINS();
    TempDir prefix;
    fs::create_directories(prefix / "bin");
    fs::copy_file(CAIRNMOOR_EXECUTABLE, prefix / "bin/Cairnmoor");
    // Reachable by the ordinary user the tests play when they run as root.
    fs::permissions(prefix.path(), fs::perms::others_exec, fs::perm_options::add);
    prefix.write("share/cairnmoor/Cairnmoor_CairnmoorCore.bundle/catalog.json", "{\"apps\": 1}");
    CliSandbox sandbox;
    sandbox.executable = prefix / "bin/Cairnmoor";
    sandbox.writeCatalogue("not json");
    sandbox.writeProfile("team.cmprofile", {"alpha"});
    const CliResult result = sandbox.run(words(team));
    EXPECT_EQ(result.out, "");
    // The replacement's fault is named once; then the shipped catalogue's.
    EXPECT_EQ(result.err,
              "The catalogue " +
                  (sandbox.home() / "Library/Application Support/Cairnmoor/catalog.json").string() +
                  " was not used (The given data was not valid JSON); the shipped "
                  "catalogue is used instead.\n"
                  "could not load catalogue: The catalogue could not be parsed: " +
                  badFormat);
    EXPECT_EQ(result.status, 1);
}

} // namespace
} // namespace cairnmoor::testing
