// The window as a user meets it, offscreen: every file dialog and question, the menus,
// quitting during a run, and the MacPorts hand-off to Terminal against real files.
#include "ViewsTest.hpp"

#include <QSignalSpy>

#include <thread>

namespace cairnmoor::testing {
namespace {

// Each dialog, in turn in one window, opens with its own accept label and, cancelled,
// leaves nothing behind and runs nothing; the question before replacing an app outside
// Homebrew is one of them. The last runs under MacPorts.
TEST_F(ViewsTest, EveryDialogOpensWithItsLabelAndCancelsWithoutATrace) {
    model_->toggle(u"alpha"_s);
    options().setExistingAppsIndex(2);
    placeApp("Alpha.app");
    openWindow();
    const auto before = std::vector(fs::recursive_directory_iterator(home_.path()), {});
    const char* const dialogs[][3] = {{"openProfileButton", "openProfileDialog", "Open"},
                                      {"saveProfileButton", "saveProfileDialog", "Save"},
                                      {"exportScriptButton", "exportScriptDialog", "Export"},
                                      {"exportBrewfileButton", "exportBrewfileDialog", "Export"},
                                      {"installButton", "replaceAppsSheet", "Replace"},
                                      {"installButton", "terminalScriptDialog", "Save"}};
    for (const auto& [button, name, label] : dialogs) {
        SCOPED_TRACE(name);
        options().setPackageManagerIndex(QLatin1String(name) == "terminalScriptDialog"_L1);
        click(button);
        QObject* dialog = find(name);
        ASSERT_TRUE(waitFor([&] { return dialog->property("visible").toBool(); }));
        // The stock dialogs' buttons have no names: look for the label.
        EXPECT_TRUE(findIf([&](QObject* o) {
            return o->inherits("QQuickAbstractButton") && o->property("visible").toBool() &&
                   o->property("text") == QLatin1String(label);
        }));
        QTest::keyClick(window_, Qt::Key_Escape);
        EXPECT_TRUE(waitFor([&] { return !dialog->property("visible").toBool(); }));
        EXPECT_EQ(actions_->fileError(), QString());
        EXPECT_EQ(std::vector(fs::recursive_directory_iterator(home_.path()), {}), before);
        EXPECT_FALSE(installRun().isRunning());
    }
}

// The menu bar decided in C++ and forced here both ways: its items in order, without the
// links that are not configured; "About Cairnmoor" opens the About window, Escape closes it.
// The golden key names the route (the global bar, "native", or the header's button) and
// whether the links are configured.
class MenuTest : public ViewsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(MenuTest, ListsItsCommandsInOrderAndOpensAbout) {
    const bool native = GetParam().starts_with("menu native");
    const QString link = GetParam().ends_with("linked") ? u"https://ann.net/"_s : QString();
    const Publisher publisher{.name = u"Ann"_s, .toolsUrl = link, .donationUrl = link};
    openWindow({.nativeMenuBar = native, .hidesTitleBar = false, .publisher = publisher});
    EXPECT_EQ(shows("appMenuButton"), !native);
    std::vector<std::pair<QObject*, const char*>> menus = {{find("appMenu"), "contentData"}};
    if (native) {
        QQmlListReference bar(find("nativeMenu")->property("object").value<QObject*>(), "menus");
        menus = {{bar.at(0), "items"}, {bar.at(1), "items"}};
    } else {
        click("appMenuButton");
    }
    // The global bar's menus by title, a divider as "—".
    QStringList texts;
    QObject* aboutItem = nullptr;
    for (const auto& [menu, list] : menus) {
        texts << (native ? QStringList{menu->property("title").toString() + u':'} : QStringList());
        QQmlListReference entries(menu, list);
        for (qsizetype i = 0; i < entries.count(); ++i) {
            const QString text = entries.at(i)->property("text").toString();
            const bool visible = entries.at(i)->property("visible").toBool();
            texts << (visible ? QStringList{text.isEmpty() ? u"—"_s : text} : QStringList());
            aboutItem = text == u"About Cairnmoor"_s ? entries.at(i) : aboutItem;
        }
    }
    EXPECT_EQ(texts.join(u" | "_s), golden(GetParam()));
    auto* about = qobject_cast<QQuickWindow*>(find("aboutWindow"));
    QMetaObject::invokeMethod(aboutItem, "triggered");
    ASSERT_TRUE(waitFor([&] { return about->isVisible() && about->activeFocusItem() != nullptr; }));
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !about->isVisible(); }));
}

INSTANTIATE_TEST_SUITE_P(Routes, MenuTest,
                         ::testing::Values("menu native linked", "menu button linked",
                                           "menu button plain"));

// Closing the window during a run asks first, and stopping ends the run before the quit;
// what the run installed is then marked in the catalogue.
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
    click("quitSheetAccept");
    ASSERT_TRUE(waitFor([&] { return quits.count() == 1; }));
    EXPECT_FALSE(installRun().isRunning());
    EXPECT_TRUE(waitFor([&] { return shows("installedMark_alpha"); }));
}

// The hand-off to Terminal over an earlier file: only a MacPorts that passes the trust
// check gets a script, which replaces the old file whole and only its owner may touch.
TEST_F(ViewsTest, TheTerminalHandOffWritesAnOwnerOnlyScriptForATrustedMacPortsOnly) {
    options().setPackageManagerIndex(1);
    model_->setSelectedIds({"alpha"});
    const fs::path script = home_.write("install.command", "old contents");
    bool trusted = false;
    WindowActions actions(
        *model_, FileManager::defaultManager(), [&](const std::string&) { return trusted; },
        [&](const fs::path& opened, TerminalLauncher::Completion done) {
            EXPECT_EQ(opened, script);
            // Terminal answers from another thread.
            std::thread([done = std::move(done)] { done(std::nullopt); }).detach();
        });
    fs::permissions(script, fs::perms::others_read);
    const QString path = QString::fromStdString(script.string());
    actions.installInTerminal(path);
    EXPECT_EQ(actions.fileError(), golden("trust"));
    EXPECT_EQ(readFile(script), "old contents");
    trusted = true;
    actions.installInTerminal(path);
    ASSERT_TRUE(waitFor([&] { return !actions.terminalNotice().isEmpty(); }));
    EXPECT_EQ(actions.terminalNotice(), golden("notice").arg(path));
    EXPECT_EQ(fs::status(script).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(readFile(script).starts_with("#!"));
}

} // namespace
} // namespace cairnmoor::testing
