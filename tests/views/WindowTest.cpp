// The window as a user meets it, offscreen: every file dialog, a replaced file, what the
// catalogue hides and why, both menu routes with the About window, quitting during a run,
// the last run again, a long error and the wheel.
#include "ViewsTest.hpp"
#include "views/QmlModules.hpp"

#include <QQmlEngine>
#include <QQmlListReference>
#include <QSignalSpy>
#include <QTest>
#include <gmock/gmock.h>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

// A button with this text on screen (the stock dialogs' buttons have no names).
QQuickItem* button(const ViewsTest& test, const char* text) {
    return qobject_cast<QQuickItem*>(test.findIf([&](QObject* object) {
        auto* item = qobject_cast<QQuickItem*>(object);
        return object->inherits("QQuickAbstractButton") && item->isVisible() &&
               object->property("text") == QLatin1String(text);
    }));
}

TEST_F(ViewsTest, AMissingQmlModuleIsNamedWithItsPackage) {
    QQmlEngine engine;
    const auto missing = QmlModules::missing(
        engine, {{"QtQuick", "qml6-module-qtquick"}, {"Cairnmoor.Nowhere", "qml6-nowhere"}});
    ASSERT_EQ(missing.size(), 1U);
    EXPECT_TRUE(QmlModules::message(missing).contains(
        u"Cairnmoor.Nowhere (Debian package qml6-nowhere)"_s));
}

// Each dialog opens with its own accept label and, cancelled, leaves nothing behind.
class DialogTest : public ViewsTest,
                   public ::testing::WithParamInterface<std::array<const char*, 3>> {};

TEST_P(DialogTest, OpensWithItsLabelAndCancelsWithoutATrace) {
    const auto [buttonName, dialogName, acceptLabel] = GetParam();
    model_ = makeModel({{PackageManager::homebrew, brewPath()},
                        {PackageManager::macports, "/opt/local/bin/port"}});
    model_->toggle(u"alpha"_s);
    model_->setPackageManagerIndex(QLatin1String(dialogName) ==
                                   QLatin1String("terminalScriptDialog"));
    openWindow();
    const auto before = std::vector(fs::recursive_directory_iterator(home_.path()), {});
    click(buttonName);
    QObject* dialog = find(dialogName);
    ASSERT_TRUE(waitFor([&] { return dialog->property("visible").toBool(); }));
    EXPECT_NE(button(*this, acceptLabel), nullptr);
    QTest::keyClick(window_, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !dialog->property("visible").toBool(); }));
    EXPECT_EQ(actions_->fileError(), QString());
    EXPECT_EQ(std::vector(fs::recursive_directory_iterator(home_.path()), {}), before);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogTest,
    ::testing::Values(std::array{"openProfileButton", "openProfileDialog", "Open"},
                      std::array{"saveProfileButton", "saveProfileDialog", "Save"},
                      std::array{"exportScriptButton", "exportScriptDialog", "Export"},
                      std::array{"exportBrewfileButton", "exportBrewfileDialog", "Export"},
                      std::array{"installButton", "terminalScriptDialog", "Save"}));

TEST_F(ViewsTest, SavingOverAnExistingFileAsksFirst) {
    openWindow();
    const fs::path file = home_.write("team.cmprofile", "old");
    for (const char* answer : {"replaceSheetReject", "replaceSheetAccept"}) {
        click("saveProfileButton");
        ASSERT_TRUE(waitFor([&] { return shows("fileNameTextField"); }));
        item("fileNameTextField")->forceActiveFocus();
        item("fileNameTextField")->setProperty("text", QString());
        for (const char c : std::string("team.cmprofile")) {
            QTest::keyClick(window_, c);
        }
        clickItem(button(*this, "Save"));
        ASSERT_TRUE(waitFor([&] { return shows("replaceSheetMessage"); }));
        EXPECT_EQ(find("replaceSheet")->property("message"), golden("replace"));
        click(answer);
        ASSERT_TRUE(waitFor([&] { return !shows("replaceSheetMessage"); }));
        EXPECT_EQ(readFile(file) == "old", answer == std::string("replaceSheetReject"));
    }
}

TEST_F(ViewsTest, TheCatalogueSaysWhyARowCannotBeTickedAndWhenNothingMatches) {
    openWindow();
    model_->setPackageManagerName(u"macports"_s);
    QQuickItem* box = item("appCheckBox_beta");
    QTest::mouseMove(window_, QPoint(1, 1)); // hover starts with a move inside the window
    QTest::mouseMove(window_, box->mapToScene(QPointF(8, 8)).toPoint());
    const auto tip = [&] { // the box's tooltip, when shown
        for (QObject* child : box->children()) {
            if (auto* shared = child->property("toolTip").value<QObject*>()) {
                return shared->property("visible").toBool() ? shared->property("text") : QVariant();
            }
        }
        return QVariant();
    };
    EXPECT_TRUE(waitFor([&] { return tip() == u"No verified MacPorts mapping"_s; }));
    click("appCheckBox_beta");
    EXPECT_TRUE(model_->selectedIds().empty());

    model_->setSearchText(u"echo"_s);
    EXPECT_TRUE(waitFor([&] { return !shows("categoryTitle_Browsers"); }));
    EXPECT_TRUE(shows("categoryTitle_Developer"));
    EXPECT_FALSE(shows("noAppsMatchText"));
    model_->setSearchText(u"no such app"_s);
    EXPECT_TRUE(waitFor([&] { return shows("noAppsMatchText"); }));
}

// The menu bar decided in C++, and forced here both ways: its items in order ("—" a
// divider, "Menu:" a menu of the bar), without the links that are not configured;
// "About Cairnmoor" opens the About window, which Escape and Ctrl+W close.
struct MenuCase {
    bool nativeMenuBar, linked;
    const char* golden;
};

class MenuTest : public ViewsTest, public ::testing::WithParamInterface<MenuCase> {
protected:
    // The items as shown: the global menu bar's (after each menu's title and ":"), or
    // those of the header button's menu once it is open.
    std::string items(QObject*& about) {
        std::string texts;
        std::vector<std::pair<QObject*, const char*>> menus = {{find("appMenu"), "contentData"}};
        if (GetParam().nativeMenuBar) {
            QQmlListReference bar(find("nativeMenu")->property("object").value<QObject*>(),
                                  "menus");
            menus = {{bar.at(0), "items"}, {bar.at(1), "items"}};
        } else {
            click("appMenuButton");
            EXPECT_TRUE(waitFor([&] { return menus[0].first->property("opened").toBool(); }));
        }
        for (const auto& [menu, list] : menus) {
            if (GetParam().nativeMenuBar) {
                texts += menu->property("title").toString().toStdString() + ": | ";
            }
            QQmlListReference entries(menu, list);
            for (qsizetype i = 0; i < entries.count(); ++i) {
                const QString text = entries.at(i)->property("text").toString();
                if (entries.at(i)->property("visible").toBool()) {
                    texts += (text.isEmpty() ? "—" : text.toStdString()) + " | ";
                }
                about = text == u"About Cairnmoor"_s ? entries.at(i) : about;
            }
        }
        return texts.substr(0, texts.size() - 3);
    }
};

TEST_P(MenuTest, ListsItsCommandsInOrderAndOpensAbout) {
    const QString link = GetParam().linked ? u"https://ann.net/"_s : QString();
    openWindow({.nativeMenuBar = GetParam().nativeMenuBar,
                .hidesTitleBar = false,
                .publisher = {.name = u"Ann"_s, .toolsUrl = link, .donationUrl = link}});
    EXPECT_EQ(shows("appMenuButton"), !GetParam().nativeMenuBar);
    QObject* aboutItem = nullptr;
    EXPECT_EQ(QString::fromStdString(items(aboutItem)), golden(GetParam().golden));
    auto* about = qobject_cast<QQuickWindow*>(find("aboutWindow"));
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        if (GetParam().nativeMenuBar) {
            QMetaObject::invokeMethod(aboutItem, "triggered");
        } else {
            click("appMenuButton");
            click("aboutMenuItem");
        }
        // Keys reach the window once it holds the focus.
        ASSERT_TRUE(waitFor([&] { return about->activeFocusItem() != nullptr; }));
        QTest::keySequence(about, keys);
        EXPECT_TRUE(waitFor([&] { return !about->isVisible(); })) << keys.toString().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, MenuTest,
                         ::testing::Values(MenuCase{true, true, "menu native linked"},
                                           MenuCase{false, true, "menu button linked"},
                                           MenuCase{false, false, "menu button plain"}));

// Closing the window during a run asks first, and stopping ends the run before the quit;
// the stopped run can then be shown again from the footer and the menu.
TEST_F(ViewsTest, ClosingDuringARunStopsItBeforeQuittingAndTheRunStaysAtHand) {
    ::setenv("CAIRNMOOR_FAKE_HANG", "delta", 1);
    openWindow();
    QSignalSpy quits(shell_.get(), &ApplicationShell::quitApproved);
    EXPECT_FALSE(shows("footerStatusLink"));
    click("appCheckBox_alpha");
    click("appCheckBox_delta");
    click("installButton");
    ASSERT_TRUE(waitFor([&] { return lastInvocation() == "brew install delta"; }));
    window_->close();
    ASSERT_TRUE(waitFor([&] { return shows("quitSheetMessage"); }));
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(find("quitSheet")->property("message"), golden("quit"));
    click("quitSheetAccept");
    ASSERT_TRUE(waitFor([&] { return quits.count() == 1; }));
    EXPECT_FALSE(model_->isRunning());
    for (const char* route : {"footerStatusLink", "showLastRunMenuItem"}) {
        click("closeRunButton");
        ASSERT_TRUE(waitFor([&] { return !shows("runView"); }));
        EXPECT_EQ(find("footerStatus")->property("text"), u"Last run: 1 installed, 1 skipped"_s);
        if (route == std::string("showLastRunMenuItem")) {
            click("appMenuButton");
        }
        click(route);
        EXPECT_TRUE(waitFor([&] { return shows("runView"); })) << route;
    }
}

TEST_F(ViewsTest, ALongErrorWrapsWithinTheAlertAndEscapeDismissesIt) {
    openWindow();
    actions_->openProfile(
        QString::fromStdString((home_ / "a-long-profile-name-x-ray-zulu").string()));
    ASSERT_TRUE(waitFor([&] { return shows("errorAlertMessage"); }));
    EXPECT_LE(item("errorAlertMessage")->width(), 460);
    EXPECT_GT(item("errorAlertMessage")->property("lineCount").toInt(), 1);
    QTest::keyClick(window_, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !shows("errorAlertMessage"); }));
    EXPECT_EQ(actions_->fileError(), QString());
}

TEST_F(ViewsTest, AWheelNotchScrollsSeveralEntries) {
    Catalog large = sampleCatalog();
    for (int i = 0; i < 500; ++i) {
        large.apps.push_back(large.apps.front());
        large.apps.back().id = "bulk-" + std::to_string(i);
    }
    writeCatalogue(large);
    openWindow();
    QQuickItem* list = item("catalogueList");
    const double row =
        item("appName_beta")->mapToScene({}).y() - item("appName_alpha")->mapToScene({}).y();
    const double before = list->property("contentY").toDouble();
    const QPointF at = list->mapToScene(QPointF(list->width() / 2, list->height() / 2));
    QWheelEvent notch(at, at, QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window_, &notch);
    EXPECT_GE(list->property("contentY").toDouble() - before, 2 * row);
}

} // namespace
} // namespace cairnmoor::testing
