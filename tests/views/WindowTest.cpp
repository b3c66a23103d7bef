// The window as a user meets it, offscreen: every file dialog and question, quitting
// during a run, and the MacPorts hand-off to Terminal against real files.
#include "ViewsTest.hpp"

#include <QSignalSpy>
#include <QTest>

#include <thread>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

// Each dialog opens with its own accept label and, cancelled, leaves nothing behind and
// runs nothing; the question before replacing an app outside Homebrew is one of them.
class DialogTest : public ViewsTest,
                   public ::testing::WithParamInterface<std::array<const char*, 3>> {};

TEST_P(DialogTest, OpensWithItsLabelAndCancelsWithoutATrace) {
    const auto [buttonName, dialogName, acceptLabel] = GetParam();
    model_ = makeModel({{PackageManager::homebrew, brewPath()},
                        {PackageManager::macports, "/opt/local/bin/port"}});
    model_->toggle(u"alpha"_s);
    model_->setPackageManagerIndex(QLatin1String(dialogName) ==
                                   QLatin1String("terminalScriptDialog"));
    model_->setExistingAppsIndex(2);
    placeApp("Alpha.app");
    openWindow();
    const auto before = std::vector(fs::recursive_directory_iterator(home_.path()), {});
    click(buttonName);
    QObject* dialog = find(dialogName);
    ASSERT_TRUE(waitFor([&] { return dialog->property("visible").toBool(); }));
    // The stock dialogs' buttons have no names: look for the label.
    EXPECT_TRUE(findIf([&](QObject* o) {
        return o->inherits("QQuickAbstractButton") && o->property("visible").toBool() &&
               o->property("text") == QLatin1String(acceptLabel);
    }));
    QTest::keyClick(window_, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !dialog->property("visible").toBool(); }));
    EXPECT_EQ(actions_->fileError(), QString());
    EXPECT_EQ(std::vector(fs::recursive_directory_iterator(home_.path()), {}), before);
    EXPECT_FALSE(model_->isRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogTest,
    ::testing::Values(std::array{"openProfileButton", "openProfileDialog", "Open"},
                      std::array{"saveProfileButton", "saveProfileDialog", "Save"},
                      std::array{"exportScriptButton", "exportScriptDialog", "Export"},
                      std::array{"exportBrewfileButton", "exportBrewfileDialog", "Export"},
                      std::array{"installButton", "terminalScriptDialog", "Save"},
                      std::array{"installButton", "replaceAppsSheet", "Replace"}));

// Closing the window during a run asks first, and stopping ends the run before the quit;
// what the run installed is then marked in the catalogue.
// The menu bar decided in C++ and forced here both ways: its items in order, without the
// links that are not configured; "About Cairnmoor" opens the About window, Escape closes it.
class MenuTest : public ViewsTest,
                 public ::testing::WithParamInterface<std::tuple<bool, bool, const char*>> {};

TEST_P(MenuTest, ListsItsCommandsInOrderAndOpensAbout) {
    const auto [native, linked, expected] = GetParam();
    const QString link = linked ? u"https://ann.net/"_s : QString();
    openWindow({.nativeMenuBar = native,
                .hidesTitleBar = false,
                .publisher = {.name = u"Ann"_s, .toolsUrl = link, .donationUrl = link}});
    EXPECT_EQ(shows("appMenuButton"), !native);
    std::vector<std::pair<QObject*, const char*>> menus = {{find("appMenu"), "contentData"}};
    if (native) {
        QQmlListReference bar(find("nativeMenu")->property("object").value<QObject*>(), "menus");
        menus = {{bar.at(0), "items"}, {bar.at(1), "items"}};
    } else {
        click("appMenuButton");
    }
    QString texts;
    QObject* aboutItem = nullptr;
    for (const auto& [menu, list] : menus) {
        texts += native ? menu->property("title").toString() + u": | "_s : QString();
        QQmlListReference entries(menu, list);
        for (qsizetype i = 0; i < entries.count(); ++i) {
            const QString text = entries.at(i)->property("text").toString();
            texts += entries.at(i)->property("visible").toBool()
                         ? (text.isEmpty() ? u"—"_s : text) + u" | "_s
                         : QString();
            aboutItem = text == u"About Cairnmoor"_s ? entries.at(i) : aboutItem;
        }
    }
    EXPECT_EQ(texts.chopped(3), golden(expected));
    auto* about = qobject_cast<QQuickWindow*>(find("aboutWindow"));
    QMetaObject::invokeMethod(aboutItem, "triggered");
    ASSERT_TRUE(waitFor([&] { return about->isVisible() && about->activeFocusItem() != nullptr; }));
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !about->isVisible(); }));
}

INSTANTIATE_TEST_SUITE_P(Routes, MenuTest,
                         ::testing::Values(std::tuple(true, true, "menu native linked"),
                                           std::tuple(false, true, "menu button linked"),
                                           std::tuple(false, false, "menu button plain")));

TEST_F(ViewsTest, ClosingDuringARunStopsItBeforeQuitting) {
    ::setenv("CAIRNMOOR_FAKE_HANG", "delta", 1);
    openWindow();
    QSignalSpy quits(shell_.get(), &ApplicationShell::quitApproved);
    click("appCheckBox_alpha");
    click("appCheckBox_delta");
    click("installButton");
    ASSERT_TRUE(waitFor([&] { return calls().size() == 2; }));
    window_->close();
    ASSERT_TRUE(waitFor([&] { return shows("quitSheetMessage"); }));
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(find("quitSheet")->property("message"), golden("quit"));
    click("quitSheetAccept");
    ASSERT_TRUE(waitFor([&] { return quits.count() == 1; }));
    EXPECT_FALSE(model_->isRunning());
    EXPECT_TRUE(waitFor([&] { return shows("installedMark_alpha"); }));
}

// The hand-off to Terminal over an earlier file: only a MacPorts that passes the trust
// check gets a script, which replaces the old file whole and only its owner may touch.
TEST_F(ViewsTest, TheTerminalHandOffWritesAnOwnerOnlyScriptForATrustedMacPortsOnly) {
    model_ = makeModel({{PackageManager::macports, "/opt/local/bin/port"}});
    model_->setPackageManagerName(u"macports"_s);
    model_->setSelectedIds({"alpha"});
    bool trusted = false;
    std::vector<fs::path> opened;
    WindowActions actions(
        *model_, FileManager::defaultManager(), [&](const std::string&) { return trusted; },
        [&](const fs::path& script, TerminalLauncher::Completion done) {
            opened.push_back(script);
            // Terminal answers from another thread.
            std::thread([done = std::move(done)] { done(std::nullopt); }).detach();
        });
    const fs::path script = home_.write("install.command", "old contents");
    fs::permissions(script, fs::perms::others_read);
    const QString path = QString::fromStdString(script.string());
    actions.installInTerminal(path);
    EXPECT_EQ(actions.fileError(), golden("trust"));
    EXPECT_EQ(readFile(script), "old contents");
    trusted = true;
    actions.installInTerminal(path);
    ASSERT_TRUE(waitFor([&] { return !actions.terminalNotice().isEmpty(); }));
    EXPECT_EQ(actions.terminalNotice(), golden("notice").arg(path));
    EXPECT_EQ(opened, std::vector{script});
    EXPECT_EQ(fs::status(script).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(readFile(script).starts_with("#!"));
}

} // namespace
} // namespace cairnmoor::testing
