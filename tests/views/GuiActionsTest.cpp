// The window's file actions against real files: exported scripts and Brewfiles, saved
// and reopened profiles, the MacPorts hand-off to Terminal, and the About credits.
#include "GuiTestFixture.hpp"
#include "views/AboutPanel.hpp"

#include <QSignalSpy>
#include <gmock/gmock.h>

#include <mutex>
#include <sys/stat.h>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string portPath = "/opt/local/bin/port";

mode_t permissionsOf(const fs::path& file) {
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
    return info.st_mode & 07777;
}

// A Terminal that records what it was asked to open and answers as told, from its own
// thread like the real one.
struct FakeTerminal {
    std::optional<std::string> answer; // none: opened
    std::mutex lock;
    std::vector<fs::path> opened;

    WindowActions::Launcher launcher() {
        return [this](const fs::path& script, TerminalLauncher::Completion done) {
            {
                std::lock_guard guard(lock);
                opened.push_back(script);
            }
            std::thread([done = std::move(done), answer = answer] { done(answer); }).detach();
        };
    }
    std::vector<fs::path> openedScripts() {
        std::lock_guard guard(lock);
        return opened;
    }
};

class GuiActionsTest : public ViewModelTest {
protected:
    void makeActions(std::map<PackageManager, std::string> managers, bool trusted) {
        model_ = makeModel(std::move(managers));
        actions_ = std::make_unique<WindowActions>(
            *model_, FileManager::defaultManager(),
            [trusted](const std::string&) { return trusted; }, terminal_.launcher());
    }
    QString path(const char* name) const { return QString::fromStdString((home_ / name).string()); }

    FakeTerminal terminal_;
    std::unique_ptr<CairnmoorViewModel> model_;
    std::unique_ptr<WindowActions> actions_;
};

TEST_F(GuiActionsTest, AnExportedScriptIsOwnerOnlyAndReplacesAnEarlierFileWhole) {
    makeActions({}, true);
    model_->toggle(QStringLiteral("alpha"));
    model_->toggle(QStringLiteral("delta"));
    const fs::path script = home_.write("install-cairnmoor.sh", "old contents that are longer");
    ::chmod(script.c_str(), 0644);

    actions_->exportShellScript(QStringLiteral("file://") + path("install-cairnmoor.sh"));
    EXPECT_EQ(actions_->fileError(), QString());
    EXPECT_EQ(permissionsOf(script), 0700U);
    const std::string text = readFile(script);
    EXPECT_THAT(text, StartsWith("#!"));
    EXPECT_THAT(text, HasSubstr("alpha"));
    EXPECT_THAT(text, ::testing::Not(HasSubstr("old contents")));
}

TEST_F(GuiActionsTest, ExportFailuresEndInTheAlertAndWriteNothing) {
    makeActions({}, true);
    // Nothing selected: the validation text of the manager.
    actions_->exportShellScript(path("empty.sh"));
    EXPECT_FALSE(actions_->fileError().isEmpty());
    EXPECT_FALSE(fs::exists(home_ / "empty.sh"));

    actions_->dismissError();
    model_->toggle(QStringLiteral("alpha"));
    actions_->exportBrewfile(path("no-such-folder/Brewfile"));
    EXPECT_THAT(actions_->fileError().toStdString(), HasSubstr("no-such-folder"));
}

TEST_F(GuiActionsTest, TheBrewfileListsCasksAndFormulaeOfTheSelection) {
    makeActions({}, true);
    for (const char* id : {"gamma", "beta", "hotel"}) {
        model_->toggle(QString::fromUtf8(id));
    }
    actions_->exportBrewfile(path("Brewfile"));
    EXPECT_EQ(actions_->fileError(), QString());
    EXPECT_EQ(readFile(home_ / "Brewfile"), "brew \"beta\"\ncask \"gamma-browser\"\n");
}

TEST_F(GuiActionsTest, AProfileSavedAndOpenedAgainRestoresSelectionAndOptions) {
    makeActions({}, true);
    model_->toggle(QStringLiteral("gamma"));
    model_->toggle(QStringLiteral("delta"));
    model_->setTimeoutSeconds(42);
    model_->setPackageManagerName(QStringLiteral("macports"));
    actions_->saveProfile(path("team.cmprofile"));
    ASSERT_EQ(actions_->fileError(), QString());

    model_->clearSelection();
    model_->setOptions(InstallOptions{});
    actions_->openProfile(path("team.cmprofile"));
    EXPECT_EQ(actions_->fileError(), QString());
    EXPECT_EQ(model_->selectedIds(), (std::set<std::string>{"delta", "gamma"}));
    EXPECT_EQ(model_->options().timeoutSeconds, 42);
    EXPECT_EQ(model_->options().packageManager, PackageManager::macports);
}

TEST_F(GuiActionsTest, WithoutALocatedMacPortsTheHandOffStopsBeforeTheDialog) {
    makeActions({}, true);
    model_->setPackageManagerName(QStringLiteral("macports"));
    EXPECT_FALSE(actions_->prepareTerminalHandOff());
    EXPECT_EQ(actions_->fileError(),
              QStringLiteral("A trusted MacPorts installation at /opt/local/bin/port is required. "
                             "Install it from macports.org."));
}

TEST_F(GuiActionsTest, AnUntrustedMacPortsIsRefusedAndNothingIsWritten) {
    makeActions({{PackageManager::macports, portPath}}, false);
    model_->setPackageManagerName(QStringLiteral("macports"));
    model_->toggle(QStringLiteral("alpha"));
    ASSERT_TRUE(actions_->prepareTerminalHandOff());
    actions_->installInTerminal(path("install-cairnmoor.command"));
    EXPECT_EQ(actions_->fileError(),
              QStringLiteral("MacPorts failed its executable trust check; refusing to open the "
                             "installer."));
    EXPECT_FALSE(fs::exists(home_ / "install-cairnmoor.command"));
    EXPECT_TRUE(terminal_.openedScripts().empty());
}

TEST_F(GuiActionsTest, ATrustedHandOffWritesTheScriptAndReportsTerminalsAnswer) {
    makeActions({{PackageManager::macports, portPath}}, true);
    model_->setPackageManagerName(QStringLiteral("macports"));
    model_->toggle(QStringLiteral("alpha"));
    QSignalSpy notices(actions_.get(), &WindowActions::terminalNoticeChanged);

    actions_->installInTerminal(path("install-cairnmoor.command"));
    const fs::path script = home_ / "install-cairnmoor.command";
    ASSERT_TRUE(waitFor([&] { return notices.count() == 1; }));
    EXPECT_EQ(actions_->terminalNotice(),
              QStringLiteral("Script opened in Terminal: ") + path("install-cairnmoor.command") +
                  QStringLiteral(". Check Terminal for success or failure."));
    EXPECT_EQ(terminal_.openedScripts(), std::vector<fs::path>{script});
    EXPECT_EQ(permissionsOf(script), 0700U);
    EXPECT_THAT(readFile(script), HasSubstr(portPath));
    EXPECT_EQ(actions_->fileError(), QString());

    // Terminal refuses: its text becomes the alert; the earlier notice stays.
    terminal_.answer = "The application could not be opened.";
    QSignalSpy errors(actions_.get(), &WindowActions::fileErrorChanged);
    actions_->installInTerminal(path("again.command"));
    ASSERT_TRUE(waitFor([&] { return errors.count() == 1; }));
    EXPECT_EQ(actions_->fileError(), QStringLiteral("The application could not be opened."));
    EXPECT_THAT(actions_->terminalNotice().toStdString(), HasSubstr("install-cairnmoor.command"));
}

#ifndef __APPLE__
TEST(GuiTerminalLauncher, ElsewhereTheHandOffAnswersWithAClearError) {
    ensureApplication();
    std::mutex lock;
    std::optional<std::optional<std::string>> answer;
    TerminalLauncher::open("/tmp/script.command", [&](const std::optional<std::string>& error) {
        std::lock_guard guard(lock);
        answer = error;
    });
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard guard(lock);
        return answer.has_value();
    }));
    ASSERT_TRUE(answer->has_value());
    EXPECT_THAT(**answer, HasSubstr("only available on macOS"));
    EXPECT_THAT(**answer, HasSubstr("/tmp/script.command"));
}
#endif

TEST(GuiAboutPanel, CreditsFollowTheTableOrderWithThePlaceholderInTheMonospacedFont) {
    using AboutPanel::Colour;
    using AboutPanel::Font;
    const AboutPanel::Links links{"Ann Example",
                                  "example.org",
                                  "https://example.org/ann",
                                  "https://example.org/tools",
                                  "https://example.org/privacy",
                                  "https://donate.example/ann"};
    const auto parts = AboutPanel::credits(SignatureState{}, std::nullopt, "2026-12-01", links);
    std::vector<std::string> texts;
    for (const auto& part : parts) {
        texts.push_back(part.text.toStdString());
    }
    const std::string dot = "   \u00B7   ";
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Signature: Not signed, or the signature does not verify\n",
                         "Built: 2026-12-01\n\n", "SHA-256 of this application's binary:\n",
                         "unavailable\n\n", "Ann Example on example.org", dot, "More free tools",
                         dot, "Privacy", dot, "\u2615 Buy me a coffee"}));
    EXPECT_EQ(parts[3].font, Font::mono);
    EXPECT_EQ(parts[3].colour, Colour::ink);
    EXPECT_EQ(parts[4].link, QStringLiteral("https://example.org/ann"));
    EXPECT_EQ(parts[8].link, QStringLiteral("https://example.org/privacy"));
    EXPECT_EQ(parts[10].link, QStringLiteral("https://donate.example/ann"));

    const QString checksum(64, QLatin1Char('a'));
    const auto signedParts =
        AboutPanel::credits(SignatureState{true, "Developer ID Application: Ann", "TEAM1"},
                            checksum.toStdString(), "x", links);
    EXPECT_EQ(signedParts[0].text,
              QStringLiteral("Signature: Developer ID Application: Ann (Team TEAM1)\n"));
    EXPECT_EQ(signedParts[3].text, checksum + QStringLiteral("\n\n"));
    // Link texts are escaped in the rich text.
    const QString html = AboutPanel::html(AboutPanel::credits(
        SignatureState{}, std::nullopt, "<b>", AboutPanel::Links{"A&B", "s", "u", "t", "p", "d"}));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;")));
    EXPECT_TRUE(html.contains(QStringLiteral("A&amp;B")));
}

} // namespace
} // namespace cairnmoor::testing
