// The main window as a user meets it: what the manager choice enables and says, the
// category check boxes, the options sheet's time-out field, an install run in the run
// sheet, and the error alert. Everything is driven through objectNames offscreen.
#include "GuiTestFixture.hpp"
#include "platform/DecodingError.hpp"

#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTest>
#include <gmock/gmock.h>

#include <set>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::set<std::string> selection(const CairnmoorViewModel& model) {
    return model.selectedIds();
}

const std::string brewPath = std::string(CAIRNMOOR_FAKES_DIR) + "/brew";
const std::string portPath = "/opt/local/bin/port";

// Every view compiles: a QML module missing on this machine shows up here, not in front
// of a user.
TEST(GuiViews, EveryQmlFileCompiles) {
    ensureApplication();
    QQmlEngine engine;
    int compiled = 0;
    QDirIterator files(QStringLiteral(":/cairnmoor/qml"), {QStringLiteral("*.qml")});
    while (files.hasNext()) {
        const QString path = files.next();
        QFile source(path);
        // A singleton is compiled through the views that use it.
        if (source.open(QIODevice::ReadOnly) && source.readAll().contains("pragma Singleton")) {
            continue;
        }
        QQmlComponent component(&engine, QUrl(QStringLiteral("qrc") + path));
        EXPECT_EQ(component.status(), QQmlComponent::Ready)
            << path.toStdString() << ": " << component.errorString().toStdString();
        ++compiled;
    }
    EXPECT_GE(compiled, 20);
}

TEST_F(GuiWindowTest, LoadsWithoutWarningsAndShowsTheCatalogueByCategory) {
    openWindow({{PackageManager::homebrew, brewPath}});
    EXPECT_EQ(window_->title(), QStringLiteral("Cairnmoor"));
    EXPECT_EQ(window_->minimumSize(), QSize(980, 680));
    for (const char* category : {"Browsers", "Developer", "Media"}) {
        EXPECT_TRUE(shows(QStringLiteral("categoryTitle_") + QString::fromUtf8(category)))
            << category;
    }
    // Listed but unused, used but unlisted, and only used by entries without a macOS
    // record: such categories are not shown.
    EXPECT_FALSE(shows(QStringLiteral("categoryTitle_Unused")));
    EXPECT_FALSE(shows(QStringLiteral("categoryTitle_Nothing for macOS")));
    EXPECT_FALSE(shows(QStringLiteral("appName_golf")));
    EXPECT_EQ(text(QStringLiteral("managerStatusText")),
              QStringLiteral("brew: ") + QString::fromStdString(brewPath));
    EXPECT_EQ(text(QStringLiteral("selectedCountText")), QStringLiteral("0 selected"));
    EXPECT_THAT(shell_->errors(), IsEmpty())
        << shell_->errors().join(QLatin1Char('\n')).toStdString();
}

TEST_F(GuiWindowTest, MacPortsTurnsTheInstallIntoATerminalHandOffAndDisablesTheBrewfile) {
    openWindow({{PackageManager::homebrew, brewPath}, {PackageManager::macports, portPath}});
    click(QStringLiteral("appCheckBox_alpha"));
    EXPECT_TRUE(isEnabled(QStringLiteral("exportBrewfileButton")));
    EXPECT_EQ(text(QStringLiteral("installButton")), QStringLiteral("Install now"));
    EXPECT_EQ(text(QStringLiteral("packageText_gamma")), QStringLiteral("gamma-browser"));
    EXPECT_FALSE(shows(QStringLiteral("macPortsNotice")));

    model_->setPackageManagerName(QStringLiteral("macports"));
    EXPECT_FALSE(isEnabled(QStringLiteral("exportBrewfileButton")));
    EXPECT_TRUE(isEnabled(QStringLiteral("exportScriptButton")));
    EXPECT_EQ(text(QStringLiteral("installButton")), QStringLiteral("Install in Terminal..."));
    EXPECT_TRUE(isEnabled(QStringLiteral("installButton")));
    EXPECT_TRUE(shows(QStringLiteral("macPortsNotice")));
    EXPECT_EQ(text(QStringLiteral("packageText_gamma")), QStringLiteral("gamma"));
    EXPECT_EQ(text(QStringLiteral("packageText_beta")),
              QStringLiteral("Not available via MacPorts"));
    // Beta has no port: it cannot be ticked under MacPorts...
    EXPECT_FALSE(isEnabled(QStringLiteral("appCheckBox_beta")));
    EXPECT_FALSE(shows(QStringLiteral("unsupportedWarningText")));
}

TEST_F(GuiWindowTest, AnUnsupportedSelectionIsNamedAndBlocksExportAndInstall) {
    openWindow({{PackageManager::homebrew, brewPath}, {PackageManager::macports, portPath}});
    click(QStringLiteral("appCheckBox_alpha"));
    click(QStringLiteral("appCheckBox_beta"));
    model_->setPackageManagerName(QStringLiteral("macports"));

    ASSERT_TRUE(shows(QStringLiteral("unsupportedWarningText")));
    EXPECT_EQ(text(QStringLiteral("unsupportedWarningText")),
              QStringLiteral("1 selected apps have no MacPorts mapping. Deselect them or switch "
                             "manager; they will not be silently omitted."));
    EXPECT_FALSE(isEnabled(QStringLiteral("exportScriptButton")));
    EXPECT_FALSE(isEnabled(QStringLiteral("installButton")));
    // ...but once selected it can always be unticked, which clears the warning.
    EXPECT_TRUE(isEnabled(QStringLiteral("appCheckBox_beta")));
    click(QStringLiteral("appCheckBox_beta"));
    EXPECT_EQ(selection(*model_), std::set<std::string>{"alpha"});
    EXPECT_TRUE(waitFor([&] { return !shows(QStringLiteral("unsupportedWarningText")); }));
    EXPECT_TRUE(isEnabled(QStringLiteral("installButton")));
}

TEST_F(GuiWindowTest, ACategoryHeaderSelectsOnlyItsVisibleInstallableRows) {
    openWindow({{PackageManager::homebrew, brewPath}, {PackageManager::macports, portPath}});
    auto headerChecked = [&](const char* category) {
        return find(QStringLiteral("categoryCheckBox_") + QString::fromUtf8(category))
            ->property("checked")
            .toBool();
    };

    // The search hides beta and gamma: only alpha is selected.
    model_->setSearchText(QStringLiteral("alpha"));
    ASSERT_TRUE(waitFor([&] { return !shows(QStringLiteral("appName_gamma")); }));
    click(QStringLiteral("categoryCheckBox_Browsers"));
    EXPECT_EQ(selection(*model_), std::set<std::string>{"alpha"});
    // A category with no matching row keeps its header, and ticking it selects nothing.
    ASSERT_TRUE(shows(QStringLiteral("categoryCheckBox_Media")));
    click(QStringLiteral("categoryCheckBox_Media"));
    EXPECT_EQ(selection(*model_), std::set<std::string>{"alpha"});
    EXPECT_FALSE(headerChecked("Media"));

    // Under MacPorts, with everything visible, the header of a partly selected
    // category is unchecked and ticking it adds gamma but never beta (no port).
    model_->setSearchText(QString());
    model_->setPackageManagerName(QStringLiteral("macports"));
    ASSERT_TRUE(waitFor([&] { return shows(QStringLiteral("appName_gamma")); }));
    EXPECT_FALSE(headerChecked("Browsers"));
    click(QStringLiteral("categoryCheckBox_Browsers"));
    EXPECT_EQ(selection(*model_), (std::set<std::string>{"alpha", "gamma"}));
    EXPECT_TRUE(waitFor([&] { return headerChecked("Browsers"); }));
    // Unticking it deselects the category's entries.
    click(QStringLiteral("categoryCheckBox_Browsers"));
    EXPECT_THAT(selection(*model_), IsEmpty());
}

TEST_F(GuiWindowTest, TheFindShortcutFocusesTheSearchField) {
    openWindow();
    window_->requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
    QQuickItem* search = item(QStringLiteral("searchField"));
    // The search field takes the focus shortly after the window appears; move it away.
    ASSERT_TRUE(waitFor([&] { return search->hasActiveFocus(); }));
    item(QStringLiteral("clearButton"))->forceActiveFocus();
    ASSERT_FALSE(search->hasActiveFocus());

    QTest::keySequence(window_, QKeySequence::Find);
    EXPECT_TRUE(waitFor([&] { return search->hasActiveFocus(); }));
    for (const char letter : std::string("delta")) {
        QTest::keyClick(window_, letter);
    }
    EXPECT_EQ(model_->searchText(), QStringLiteral("delta"));
    EXPECT_TRUE(waitFor([&] { return !shows(QStringLiteral("appName_alpha")); }));
}

TEST_F(GuiWindowTest, TheMenuOpensTheAboutWindowWithFreshCredits) {
    openWindow();
    click(QStringLiteral("appMenuButton"));
    click(QStringLiteral("aboutMenuItem"));
    QQuickWindow* about = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QWindow* candidate : QGuiApplication::allWindows()) {
            if (candidate->objectName() == QStringLiteral("aboutWindow") &&
                candidate->isVisible()) {
                about = qobject_cast<QQuickWindow*>(candidate);
            }
        }
        return about != nullptr;
    }));
    QQuickItem* credits = nullptr;
    std::vector<QQuickItem*> items = {about->contentItem()};
    while (!items.empty() && credits == nullptr) {
        QQuickItem* current = items.back();
        items.pop_back();
        credits = current->objectName() == QStringLiteral("aboutCredits") ? current : nullptr;
        const QList<QQuickItem*> children = current->childItems();
        items.insert(items.end(), children.begin(), children.end());
    }
    ASSERT_NE(credits, nullptr);
    // The rich text holds the plain lines in the table's order.
    QString shown;
    QMetaObject::invokeMethod(credits, "getText", Q_RETURN_ARG(QString, shown), Q_ARG(int, 0),
                              Q_ARG(int, credits->property("length").toInt()));
    shown.replace(QChar(0x00A0), QLatin1Char(' ')); // links are kept on one line
    const qsizetype signature = shown.indexOf(QStringLiteral("Signature: "));
    const qsizetype built = shown.indexOf(QStringLiteral("Built: "));
    const qsizetype checksum =
        shown.indexOf(QStringLiteral("SHA-256 of this application's binary:"));
    const qsizetype coffee = shown.indexOf(QStringLiteral("Buy me a coffee"));
    EXPECT_GE(signature, 0) << shown.toStdString();
    EXPECT_LT(signature, built);
    EXPECT_LT(built, checksum);
    EXPECT_LT(checksum, coffee);
    EXPECT_EQ(about->title(), QStringLiteral("About Cairnmoor"));
    about->close();
}

// The time-out field takes a whole number of at least 1 and ignores anything else,
// keeping the last valid value; reopening the sheet shows the value in force.
struct TimeoutCase {
    const char* typed;
    qint64 expected;
};

class GuiTimeoutFieldTest : public GuiWindowTest,
                            public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(GuiTimeoutFieldTest, OnlyAWholeNumberOfAtLeastOneIsTaken) {
    openWindow();
    model_->setTimeoutSeconds(120);
    click(QStringLiteral("installOptionsButton"));
    ASSERT_TRUE(waitFor([&] { return shows(QStringLiteral("timeoutField")); }));
    EXPECT_EQ(text(QStringLiteral("timeoutField")), QStringLiteral("120"));

    find(QStringLiteral("timeoutField"))->setProperty("text", QString::fromUtf8(GetParam().typed));
    EXPECT_EQ(model_->timeoutSeconds(), GetParam().expected);
    EXPECT_EQ(text(QStringLiteral("timeoutField")), QString::fromUtf8(GetParam().typed));

    click(QStringLiteral("optionsDoneButton"));
    ASSERT_TRUE(waitFor([&] { return !shows(QStringLiteral("timeoutField")); }));
    click(QStringLiteral("installOptionsButton"));
    ASSERT_TRUE(waitFor([&] { return shows(QStringLiteral("timeoutField")); }));
    EXPECT_EQ(text(QStringLiteral("timeoutField")), QString::number(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Texts, GuiTimeoutFieldTest,
                         ::testing::Values(TimeoutCase{"+30", 30}, TimeoutCase{"45", 45},
                                           TimeoutCase{"0", 120}, TimeoutCase{"-5", 120},
                                           TimeoutCase{"12a", 120}, TimeoutCase{" 12", 120},
                                           TimeoutCase{"", 120},
                                           TimeoutCase{"99999999999999999999", 120}));

TEST_F(GuiWindowTest, TheOptionsSheetNamesTheChosenManager) {
    openWindow();
    click(QStringLiteral("installOptionsButton"));
    ASSERT_TRUE(waitFor([&] { return shows(QStringLiteral("updateFirstOptionLabel")); }));
    EXPECT_EQ(text(QStringLiteral("updateFirstOptionLabel")),
              QStringLiteral("Update Homebrew first"));
    EXPECT_FALSE(shows(QStringLiteral("macPortsTimeoutNote")));
    model_->setPackageManagerName(QStringLiteral("macports"));
    EXPECT_EQ(text(QStringLiteral("updateFirstOptionLabel")),
              QStringLiteral("Update MacPorts first"));
    EXPECT_TRUE(shows(QStringLiteral("macPortsTimeoutNote")));
    // A click on a label sets the option.
    click(QStringLiteral("updateFirstOptionLabel"));
    EXPECT_TRUE(model_->runUpdateFirst());
}

class GuiRunSheetTest : public GuiWindowTest {
protected:
    GuiRunSheetTest()
        : bin_(), state_("CAIRNMOOR_FAKE_STATE", (bin_ / "state").string()),
          path_("PATH", (bin_ / "bin").string() + ":" + std::getenv("PATH")),
          fail_("CAIRNMOOR_FAKE_FAIL", "delta") {
        fs::create_directories(bin_ / "bin");
        fs::create_symlink(brewPath, bin_ / "bin" / "brew");
    }

    TempDir bin_;
    ScopedEnv state_;
    ScopedEnv path_;
    ScopedEnv fail_;
};

TEST_F(GuiRunSheetTest, ARunAgainstBrewOnThePathEndsWithCloseRowStatesAndTheLogLine) {
    // The real locator finds the fake on PATH.
    openWindow(std::make_unique<CairnmoorViewModel>());
    ASSERT_EQ(text(QStringLiteral("managerStatusText")),
              QStringLiteral("brew: ") + QString::fromStdString((bin_ / "bin" / "brew").string()));
    click(QStringLiteral("appCheckBox_alpha"));
    click(QStringLiteral("appCheckBox_delta"));
    click(QStringLiteral("installButton"));

    ASSERT_TRUE(shows(QStringLiteral("runView")));
    ASSERT_TRUE(
        waitFor([&] { return shows(QStringLiteral("closeRunButton")); }, std::chrono::seconds(60)));
    EXPECT_FALSE(shows(QStringLiteral("cancelRunButton")));
    EXPECT_EQ(text(QStringLiteral("runState_alpha")), QStringLiteral("Installed"));
    EXPECT_TRUE(text(QStringLiteral("runState_delta")).startsWith(QStringLiteral("Failed: ")))
        << text(QStringLiteral("runState_delta")).toStdString();
    QQuickItem* track = item(QStringLiteral("progressTrack"));
    EXPECT_TRUE(waitFor([&] {
        return qFuzzyCompare(item(QStringLiteral("progressBar"))->width(), track->width());
    }));
    ASSERT_TRUE(shows(QStringLiteral("logPathText")));
    EXPECT_EQ(text(QStringLiteral("logPathText")),
              QStringLiteral("Log: ") + model_->lastLogURLText());
    EXPECT_TRUE(fs::exists(model_->lastLogURL().value()));

    // Close leaves the main window; the model keeps the last run.
    click(QStringLiteral("closeRunButton"));
    EXPECT_TRUE(waitFor([&] { return !shows(QStringLiteral("runView")); }));
    EXPECT_EQ(model_->runRows().size(), 2U);
}

TEST_F(GuiRunSheetTest, WithoutALogFileNoLogLineAndAZeroRunShowsTheStub) {
    openWindow(std::make_unique<CairnmoorViewModel>());
    model_->setWriteLog(false);
    click(QStringLiteral("appCheckBox_alpha"));
    click(QStringLiteral("installButton"));
    ASSERT_TRUE(shows(QStringLiteral("runView")));
    // At progress 0 the bar is a 4-point stub, not nothing.
    if (model_->overallProgress() == 0) {
        EXPECT_DOUBLE_EQ(item(QStringLiteral("progressBar"))->width(), 4.0);
    }
    ASSERT_TRUE(
        waitFor([&] { return shows(QStringLiteral("closeRunButton")); }, std::chrono::seconds(60)));
    EXPECT_FALSE(shows(QStringLiteral("logPathText")));
}

TEST_F(GuiWindowTest, ARefusedInstallKeepsTheSheetClosedAndShowsWhy) {
    openWindow(); // no manager located
    click(QStringLiteral("appCheckBox_alpha"));
    EXPECT_FALSE(isEnabled(QStringLiteral("installButton")));
    EXPECT_EQ(text(QStringLiteral("managerStatusText")), QStringLiteral("Homebrew not found"));
    QMetaObject::invokeMethod(contentView(), "install");
    EXPECT_FALSE(shows(QStringLiteral("runView")));
    ASSERT_TRUE(shows(QStringLiteral("loadErrorText")));
    EXPECT_EQ(text(QStringLiteral("loadErrorText")),
              QStringLiteral("Choose supported apps and an installed manager. MacPorts installs "
                             "must be started in Terminal."));
}

TEST_F(GuiWindowTest, ComingBackToTheApplicationLocatesTheManagersAgain) {
    auto located = std::make_shared<std::optional<std::string>>();
    openWindow(std::make_unique<CairnmoorViewModel>(
        [located](PackageManager manager) -> std::optional<std::string> {
            return manager == PackageManager::homebrew ? *located : std::nullopt;
        }));
    EXPECT_EQ(text(QStringLiteral("managerStatusText")), QStringLiteral("Homebrew not found"));
    *located = brewPath;
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(text(QStringLiteral("managerStatusText")), QStringLiteral("Homebrew not found"));
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(text(QStringLiteral("managerStatusText")),
              QStringLiteral("brew: ") + QString::fromStdString(brewPath));
}

// Opening a profile that cannot be used shows the alert and changes nothing.
struct BrokenProfile {
    const char* name;
    const char* contents;
    const char* message;
};

class GuiBrokenProfileTest : public GuiWindowTest,
                             public ::testing::WithParamInterface<BrokenProfile> {};

TEST_P(GuiBrokenProfileTest, ShowsTheAlertAndKeepsSelectionAndOptions) {
    openWindow();
    click(QStringLiteral("appCheckBox_gamma"));
    model_->setTimeoutSeconds(77);
    const fs::path file = home_.write(std::string("team.") + "cmprofile", GetParam().contents);

    QMetaObject::invokeMethod(contentView(), "openProfileFile",
                              Q_ARG(QVariant, QString::fromStdString(file.string())));
    ASSERT_TRUE(waitFor([&] { return shows(QStringLiteral("errorAlertMessage")); }));
    EXPECT_EQ(text(QStringLiteral("errorAlertMessage")).toStdString(), GetParam().message);
    EXPECT_EQ(selection(*model_), std::set<std::string>{"gamma"});
    EXPECT_EQ(model_->timeoutSeconds(), 77);

    click(QStringLiteral("errorAlertOkButton"));
    EXPECT_TRUE(waitFor([&] { return !shows(QStringLiteral("errorAlertMessage")); }));
    EXPECT_EQ(actions_->fileError(), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Files, GuiBrokenProfileTest,
    ::testing::Values(
        BrokenProfile{"NotJson", "{ this is not json", DecodingError::userMessage},
        BrokenProfile{"ZeroTimeout",
                      R"({"schema":2,"created":"2026-01-01T00:00:00Z","apps":["alpha"],)"
                      R"("options":{"packageManager":"homebrew","skipInstalled":true,)"
                      R"("upgradeIfPresent":true,"runUpdateFirst":false,"writeLog":true,)"
                      R"("timeoutSeconds":0}})",
                      DecodingError::userMessage},
        BrokenProfile{
            "UnknownIds",
            R"({"schema":2,"created":"2026-01-01T00:00:00Z","apps":["zulu","alpha","x-ray"],)"
            R"("options":{"packageManager":"homebrew","skipInstalled":true,)"
            R"("upgradeIfPresent":true,"runUpdateFirst":false,"writeLog":true,)"
            R"("timeoutSeconds":5}})",
            "Unknown or non-macOS catalogue IDs: x-ray, zulu."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GuiWindowTest, ASecondErrorAfterDismissingTheFirstIsShownAgain) {
    openWindow();
    const QString missing = QString::fromStdString((home_ / "missing.cmprofile").string());
    QMetaObject::invokeMethod(contentView(), "openProfileFile", Q_ARG(QVariant, missing));
    ASSERT_TRUE(waitFor([&] { return shows(QStringLiteral("errorAlertMessage")); }));
    EXPECT_TRUE(text(QStringLiteral("errorAlertMessage")).startsWith(missing));
    QTest::keyClick(window_, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !shows(QStringLiteral("errorAlertMessage")); }));
    EXPECT_EQ(actions_->fileError(), QString());

    QMetaObject::invokeMethod(contentView(), "openProfileFile", Q_ARG(QVariant, missing));
    EXPECT_TRUE(waitFor([&] { return shows(QStringLiteral("errorAlertMessage")); }));
}

// Only the rows on screen exist, so a large catalogue costs what a screenful costs.
TEST_F(GuiWindowTest, TheCatalogueListCreatesOnlyVisibleRows) {
    Catalog large = sampleCatalog();
    const AppEntry model = large.apps.front();
    for (int i = 0; i < 3000; ++i) {
        AppEntry extra = model;
        extra.id = "bulk-" + std::to_string(i);
        extra.name = "Bulk " + std::to_string(i);
        large.apps.push_back(extra);
    }
    writeCatalogue(large);
    openWindow();
    window_->resize(1000, 700);
    ASSERT_TRUE(waitFor([&] { return window_->height() == 700; }));
    int rows = 0;
    std::vector<QQuickItem*> items = {window_->contentItem()};
    while (!items.empty()) {
        QQuickItem* current = items.back();
        items.pop_back();
        rows += current->objectName().startsWith(QStringLiteral("appCheckBox_")) ? 1 : 0;
        const QList<QQuickItem*> children = current->childItems();
        items.insert(items.end(), children.begin(), children.end());
    }
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 100);
}

} // namespace
} // namespace cairnmoor::testing
