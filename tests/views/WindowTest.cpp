// The window as a user meets it, offscreen: every file dialog and question, the menus,
// quitting during a run, and the MacPorts hand-off to Terminal against real files.
#include "ViewsTest.hpp"
#include "install/Profile.hpp"
#include "views/RunNotifier.hpp"
#include "views/WindowSettings.hpp"

#include <QScreen>
#include <QSignalSpy>
#include <QWindow>

#include <thread>

namespace cairnmoor::testing {
namespace {

// Typed key by key: QTest types whole strings into widgets only.
void typeText(QWindow* window, std::string_view text) {
    for (const char key : text) {
        QTest::keyClick(window, key);
    }
}

// Each dialog, in turn in one window, opens with its own accept label and, cancelled,
// leaves nothing behind and runs nothing; the question before replacing an app outside
// Homebrew is one of them. The last runs under MacPorts.
TEST_F(ViewsTest, EveryDialogOpensWithItsLabelAndCancelsWithoutATrace) {
    model_->toggle(u"alpha"_s);
    options().setExistingAppsIndex(2);
    placeApp("Alpha.app");
    openWindow();
    const auto before = std::vector(fs::recursive_directory_iterator(home_.path()), {});
    // A button, or the menu's shortcut (Ctrl is Command on macOS).
    const char* const dialogs[][3] = {{"Ctrl+O", "openProfileDialog", "Open"},
                                      {"saveProfileButton", "saveProfileDialog", "Save"},
                                      {"Ctrl+S", "saveProfileDialog", "Save"},
                                      {"exportScriptButton", "exportScriptDialog", "Export"},
                                      {"Ctrl+E", "exportBrewfileDialog", "Export"},
                                      {"importBrewfileButton", "importBrewfileDialog", "Import"},
                                      {"saveThisMacButton", "saveThisMacDialog", "Save"},
                                      {"Ctrl+,", "optionsSheet", "Done"},
                                      {"installButton", "replaceAppsSheet", "Replace"},
                                      {"installButton", "terminalScriptDialog", "Save"}};
    for (const auto& [button, name, label] : dialogs) {
        SCOPED_TRACE(name);
        options().setPackageManagerIndex(QLatin1String(name) == "terminalScriptDialog"_L1);
        if (QLatin1String(button).startsWith("Ctrl+"_L1)) {
            QTest::keySequence(window_, QKeySequence(QLatin1String(button)));
        } else {
            click(button);
        }
        QObject* dialog = find(name);
        ASSERT_TRUE(waitFor([&] {
            return dialog->property("visible").toBool() && !dialog->property("settling").toBool();
        }));
        // The stock dialogs' buttons have no names: look for the label.
        EXPECT_TRUE(findIf([&, label = label](QObject* o) {
            return o->inherits("QQuickAbstractButton") && o->property("visible").toBool() &&
                   o->property("text") == QLatin1String(label);
        }));
        // A file dialog starts in a folder of the user's (the last used, or Documents).
        const QVariant folder = dialog->property("currentFolder");
        EXPECT_TRUE(!folder.isValid() ||
                    fs::is_directory(WindowActions::localPath(folder.toString())));
        QTest::keyClick(window_, Qt::Key_Escape);
        EXPECT_TRUE(waitFor([&] { return !dialog->property("visible").toBool(); }));
        EXPECT_EQ(actions_->fileError(), QString());
        EXPECT_EQ(std::vector(fs::recursive_directory_iterator(home_.path()), {}), before);
        EXPECT_FALSE(installRun().isRunning());
    }
}

// Saves in a row land in the folder the dialog showed, under the name in its field,
// and each dialog opens again where it was last used, also in the next window: the
// first row picks another folder, the others keep the dialog's own. The field starts
// focused with the default name; a save names where the file went, and "Show in Finder"
// shows that file; a name already there brings the question naming the whole path.
TEST_F(ViewsTest, SavesLandWhereTheDialogShowedAndDialogsReopenWhereTheyWereLastUsed) {
    model_->toggle(u"alpha"_s);
    fs::create_directories(home_ / "Documents");
    fs::create_directories(home_ / "Profiles");
    std::vector<fs::path> revealed;
    // The dialog's name field, once it has the keyboard.
    const auto openSaveDialog = [this](const char* button, const char* dialog) {
        click(button);
        QQuickItem* field = nullptr;
        EXPECT_TRUE(waitFor([&] {
            field = qobject_cast<QQuickItem*>(findIf([](QObject* o) {
                return o->objectName() == "fileNameTextField"_L1 && o->property("visible").toBool();
            }));
            return field && field->hasActiveFocus() && !find(dialog)->property("settling").toBool();
        }));
        return field;
    };
    struct Save {
        const char* button;
        const char* dialog;
        const char* folder; // picked in the dialog; empty: as it opens
        const char* name;   // typed; empty: the default name
        bool returnKey;     // Return in the name field, else the dialog's button
        const char* lands;
    };
    const Save saves[] = {
        {"saveProfileButton", "saveProfileDialog", "Profiles", "first", true,
         "Profiles/first.cmprofile"},
        {"saveProfileButton", "saveProfileDialog", "", "second.cmprofile", false,
         "Profiles/second.cmprofile"},
        {"saveProfileButton", "saveProfileDialog", "", "", true, "Profiles/profile.cmprofile"},
        {"exportScriptButton", "exportScriptDialog", "", "", false,
         "Documents/install-cairnmoor.sh"},
        {"exportBrewfileButton", "exportBrewfileDialog", "", "", true, "Documents/Brewfile"},
        // A new window: the profile dialog still opens in the folder picked first.
        {nullptr, "saveProfileDialog", "", "third", true, "Profiles/third.cmprofile"},
    };
    for (const Save& save : saves) {
        SCOPED_TRACE(save.lands);
        if (save.button == nullptr || window_ == nullptr) {
            shell_.reset();
            openWindow();
        }
        actions_->setRevealer([&](const fs::path& file) { revealed.push_back(file); });
        QObject* dialog = find(save.dialog);
        QQuickItem* field =
            openSaveDialog(save.button ? save.button : "saveProfileButton", save.dialog);
        ASSERT_TRUE(field);
        const fs::path lands = home_ / save.lands;
        EXPECT_EQ(field->property("text"), dialog->property("defaultName"));
        EXPECT_EQ(WindowActions::localPath(dialog->property("currentFolder").toString()),
                  *save.folder ? home_ / "Documents" : lands.parent_path());
        if (*save.folder) {
            dialog->setProperty("currentFolder", QUrl::fromLocalFile(QString::fromStdString(
                                                     (home_ / save.folder).string())));
        }
        if (*save.name) {
            QTest::keyClick(window_, Qt::Key_A, Qt::ControlModifier);
            typeText(window_, save.name);
        }
        if (save.returnKey) {
            QTest::keyClick(window_, Qt::Key_Return);
        } else {
            auto* accept = qobject_cast<QQuickItem*>(findIf([&](QObject* o) {
                return o->inherits("QQuickAbstractButton") && o->property("visible").toBool() &&
                       o->property("text") == dialog->property("acceptLabel");
            }));
            ASSERT_TRUE(accept);
            QTest::mouseClick(window_, Qt::LeftButton, {},
                              accept->mapToScene({accept->width() / 2, 4}).toPoint());
        }
        ASSERT_TRUE(waitFor([&] { return fs::exists(lands) && !actions_->savedPath().isEmpty(); }));
        EXPECT_EQ(actions_->savedPath().toStdString(), lands.string());
        EXPECT_TRUE(actions_->savedNotice().endsWith(actions_->savedPath() + u'.'));
        click("revealSavedLink");
        EXPECT_EQ(revealed.back(), lands);
        actions_->dismissSaved();
    }
    // The same name again: the question names the whole path; Escape keeps the file.
    const std::string before = readFile(home_ / "Profiles/first.cmprofile");
    model_->toggle(u"beta"_s);
    ASSERT_TRUE(openSaveDialog("saveProfileButton", "saveProfileDialog"));
    QTest::keyClick(window_, Qt::Key_A, Qt::ControlModifier);
    typeText(window_, "first");
    QTest::keyClick(window_, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return shows("replaceSheetMessage"); }));
    EXPECT_EQ(find("replaceSheetMessage")->property("text").toString().remove(QChar(0x2060)),
              golden("replace file").arg(QString::fromStdString((home_ / "Profiles").string())));
    QTest::keyClick(window_, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !shows("replaceSheetMessage"); }));
    EXPECT_EQ(readFile(home_ / "Profiles/first.cmprofile"), before);
}

// Every sheet and question: the keyboard starts on a control with its focus showing and
// Tab keeps it in the sheet; Return gives the default answer (for a destructive question
// the cautious one), Escape cancels; a running install's sheet ignores both.
TEST_F(ViewsTest, ReturnAndEscapeAnswerEverySheetWithTheFocusInSight) {
    openWindow();
    QSignalSpy quits(shell_.get(), &ApplicationShell::quitApproved);
    const auto run = [&](bool hang) {
        return [this, hang] {
            hang ? ::setenv("CAIRNMOOR_FAKE_HANG", "alpha", 1) : ::unsetenv("CAIRNMOOR_FAKE_HANG");
            model_->setSelectedIds({"alpha"});
            click("installButton");
            ASSERT_TRUE(
                waitFor([&] { return hang ? !calls().empty() : installRun().runFinished(); }));
        };
    };
    const auto call = [this](const char* name, const char* method) {
        return [=, this] { QMetaObject::invokeMethod(find(name), method); };
    };
    struct Case {
        const char* sheet;
        std::function<void()> open;
        Qt::Key key;
        const char* focus; // the focused item, or its parent when it has no name; "": none
        bool closes;
    };
    const Case cases[] = {
        {"optionsSheet", [&] { click("installOptionsButton"); }, Qt::Key_Escape,
         "skipInstalledOption", true},
        {"optionsSheet", [&] { click("installOptionsButton"); }, Qt::Key_Return,
         "skipInstalledOption", true},
        {"errorAlert", [&] { actions_->openProfile(u"/nowhere.cmprofile"_s); }, Qt::Key_Return,
         "errorAlertAccept", true},
        {"errorAlert", [&] { actions_->openProfile(u"/nowhere.cmprofile"_s); }, Qt::Key_Escape,
         "errorAlertAccept", true},
        {"quitSheet", call("contentView", "askToStopAndQuit"), Qt::Key_Return, "quitSheetReject",
         true},
        {"quitSheet", call("contentView", "askToStopAndQuit"), Qt::Key_Escape, "quitSheetReject",
         true},
        {"runSheet", run(false), Qt::Key_Return, "closeRunButton", true},
        {"runSheet", call("footerStatusLink", "activated"), Qt::Key_Escape, "closeRunButton", true},
        {"runSheet", run(true), Qt::Key_Escape, "", false},
        {"runSheet", run(true), Qt::Key_Return, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sheet) + (c.key == Qt::Key_Return ? " Return" : " Escape"));
        c.open();
        QObject* sheet = find(c.sheet);
        ASSERT_TRUE(waitFor([&] { return sheet->property("opened").toBool(); }));
        auto* body = sheet->property("contentItem").value<QQuickItem*>();
        // Two Tabs come back round in the questions; a running sheet's Tab would reach Cancel.
        for (int tab = 0; tab < 3; ++tab) {
            QQuickItem* focused = window_->activeFocusItem();
            ASSERT_TRUE(focused && (focused == body || body->isAncestorOf(focused)));
            if (tab == 0 && *c.focus) {
                EXPECT_EQ(focused->objectName().isEmpty() ? focused->parentItem()->objectName()
                                                          : focused->objectName(),
                          QLatin1String(c.focus));
            }
            // A button shows its ring only for keyboard focus.
            EXPECT_NE(focused->property("visualFocus"), QVariant(false));
            if (tab == 2 || !c.closes) {
                break;
            }
            QTest::keyClick(window_, Qt::Key_Tab);
        }
        QTest::keyClick(window_, c.key);
        EXPECT_NE(sheet->property("visible").toBool(), c.closes);
        EXPECT_EQ(actions_->fileError(), QString());
        EXPECT_EQ(quits.count(), 0);
        if (installRun().isRunning()) {
            installRun().cancelRun();
            finish();
            click("closeRunButton");
        }
    }
}

// The run sheet says what happened and leaves the bar where the work stopped: a whole
// run, one failure (with brew's own error line beneath its row), a failure of the whole
// run (the update) and a cancel (the package it interrupted "Stopped", the rest "Skipped").
TEST_F(ViewsTest, TheRunSheetSaysWhatHappenedAndLeavesTheBarWhereTheWorkStopped) {
    openWindow();
    model_->setSelectedIds({"alpha", "delta", "echo"});
    const char* const cases[][3] = {{"run done", "", ""},
                                    {"run one failed", "CAIRNMOOR_FAKE_FAIL", "delta"},
                                    {"run all failed", "CAIRNMOOR_FAKE_UPDATE_FAIL", "1"},
                                    {"run cancelled", "CAIRNMOOR_FAKE_HANG", "delta"}};
    for (const auto& [key, knob, value] : cases) {
        SCOPED_TRACE(key);
        if (*knob) {
            ::setenv(knob, value, 1);
        }
        options().setRunUpdateFirst(std::string_view(knob) == "CAIRNMOOR_FAKE_UPDATE_FAIL");
        click("installButton");
        if (std::string_view(knob) == "CAIRNMOOR_FAKE_HANG") {
            ASSERT_TRUE(waitFor([&] { return calls().size() == 2; }));
            click("cancelRunButton");
        }
        finish();
        QStringList seen{item("runHeadline")->property("text").toString(),
                         QString::number(installRun().overallProgress(), 'f', 2)};
        for (const char* id : {"alpha", "delta", "echo"}) {
            seen << find(("runState_"s + id).c_str())->property("text").toString() +
                        find(("runDetail_"s + id).c_str())->property("text").toString();
        }
        EXPECT_EQ(seen.join(u" | "_s), golden(key));
        click("closeRunButton");
        ::unsetenv(knob);
        // A fresh Mac for the next case; the inventory after the run may still be reading.
        std::error_code ignored;
        for (const char* part : {"casks", "formulae", "invocations.log"}) {
            fs::remove_all(tools_ / "state" / part, ignored);
        }
    }
}

// The question before replacing apps found outside Homebrew can also leave them as they
// are: the run installs the rest and replaces nothing.
TEST_F(ViewsTest, TheReplaceQuestionCanSkipThoseAppsAndInstallTheRest) {
    const QString alpha = placeApp("Alpha.app");
    options().setExistingAppsIndex(2);
    openWindow();
    model_->setSelectedIds({"alpha", "delta"});
    click("installButton");
    click("replaceAppsSheetAlternative");
    finish();
    EXPECT_EQ(item("runState_alpha")->property("text").toString(), u"Installed outside Homebrew"_s);
    EXPECT_EQ(item("runState_delta")->property("text").toString(), u"Installed"_s);
    EXPECT_EQ(calls(), Lines{"brew install delta"});
    EXPECT_TRUE(fs::is_directory(alpha.toStdString()));
}

// The time-out field refuses what is not a whole number of at least 1 where it is typed:
// it says so, and neither "Done" nor Return closes the sheet; the value in force stays.
TEST_F(ViewsTest, TheTimeOutFieldRefusesBadInputVisibly) {
    openWindow();
    // The invalid first: each leaves the default in force.
    // clang-format off
    const std::pair<const char*, qint64> entries[] = {
        {"abc", 900}, {"0", 900}, {"", 900}, {"12x", 900}, {"-5", 900}, {" 12", 900}, {"+", 900},
        {"１２", 900}, {"9223372036854775808", 900}, {"+30", 30}, {"9223372036854775807", INT64_MAX}};
    // clang-format on
    for (const auto& [text, inForce] : entries) {
        SCOPED_TRACE(text);
        click("installOptionsButton");
        ASSERT_TRUE(waitFor([&] { return find("optionsSheet")->property("opened").toBool(); }));
        // Upgrades are on: the skip switch does not pretend to skip installed apps.
        EXPECT_EQ(item("skipInstalledOptionLabel")->property("text").toString(),
                  golden("skip while upgrading"));
        item("timeoutField")->setProperty("text", QString::fromUtf8(text));
        const bool valid = inForce != 900;
        EXPECT_EQ(shows("timeoutProblem"), !valid);
        EXPECT_EQ(item("optionsDoneButton")->isEnabled(), valid);
        QTest::keyClick(window_, Qt::Key_Return);
        EXPECT_EQ(shows("optionsDoneButton"), !valid);
        EXPECT_EQ(options().timeoutSeconds(), inForce);
        QTest::keyClick(window_, Qt::Key_Escape);
    }
}

// Up and Down move between the rows' check boxes (a category's header is a row too), and
// Space ticks the one in focus; no key lands on a homepage link.
TEST_F(ViewsTest, ArrowKeysMoveBetweenRowsAndACategoryShowsItIsPartlySelected) {
    openWindow();
    item("appCheckBox_alpha")->forceActiveFocus(Qt::TabFocusReason);
    const std::pair<Qt::Key, const char*> steps[] = {
        {Qt::Key_Down, "appCheckBox_beta"},           {Qt::Key_Down, "appCheckBox_gamma"},
        {Qt::Key_Down, "categoryCheckBox_Developer"}, {Qt::Key_Down, "appCheckBox_delta"},
        {Qt::Key_Up, "categoryCheckBox_Developer"},   {Qt::Key_Up, "appCheckBox_gamma"},
        {Qt::Key_Space, "appCheckBox_gamma"},
    };
    for (const auto& [key, focused] : steps) {
        QTest::keyClick(window_, key);
        EXPECT_EQ(window_->activeFocusItem()->objectName().toStdString(), focused);
    }
    EXPECT_EQ(selected(), Lines{"gamma"});
    // A category partly selected shows a dash; ticking it selects the rest.
    QQuickItem* browsers = item("categoryCheckBox_Browsers");
    EXPECT_EQ(browsers->property("partial"), true);
    click("categoryCheckBox_Browsers");
    EXPECT_EQ(selected(), (Lines{"alpha", "beta", "gamma"}));
    EXPECT_EQ(browsers->property("partial"), false);
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
        menus.clear();
        for (qsizetype i = 0; i < bar.count(); ++i) {
            menus.emplace_back(bar.at(i), "items");
        }
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
    if (!native) {
        // The arrow keys skip what is hidden, a divider and what cannot be chosen now.
        QStringList reached;
        for (int step = 0; step < 5; ++step) {
            QTest::keyClick(window_, Qt::Key_Down);
            QQuickItem* current = nullptr;
            QMetaObject::invokeMethod(menus[0].first, "itemAt", Q_RETURN_ARG(QQuickItem*, current),
                                      Q_ARG(int, menus[0].first->property("currentIndex").toInt()));
            reached << (current ? current->property("text").toString() : QString());
        }
        EXPECT_EQ(reached.join(u" | "_s), golden(GetParam() + " keys"));
        QTest::keyClick(window_, Qt::Key_Escape);
    }
    auto* about = qobject_cast<QQuickWindow*>(find("aboutWindow"));
    QMetaObject::invokeMethod(aboutItem, "triggered");
    ASSERT_TRUE(waitFor([&] { return about->isVisible() && about->activeFocusItem() != nullptr; }));
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !about->isVisible(); }));
}

INSTANTIATE_TEST_SUITE_P(Routes, MenuTest,
                         ::testing::Values("menu native linked", "menu button linked",
                                           "menu button plain"));

// The search clears with its button, with Escape in the field and from "No apps match";
// none of them touches the selection, which only "Clear selection" empties.
TEST_F(ViewsTest, TheSearchClearsThreeWaysAndTheSelectionOnlyByItsOwnButton) {
    openWindow();
    model_->toggle(u"alpha"_s);
    EXPECT_EQ(item("clearButton")->property("text").toString(), u"Clear selection"_s);
    // Homebrew was found: nothing to install.
    EXPECT_FALSE(shows("installManagerLink"));
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"zzz", [&] { click("clearSearchLink"); }},
        {"alp", [&] { click("clearSearchButton"); }},
        {"alp",
         [&] {
             item("searchField")->forceActiveFocus();
             QTest::keyClick(window_, Qt::Key_Escape);
         }},
    };
    for (const auto& [query, clear] : ways) {
        SCOPED_TRACE(query);
        model_->setSearchText(QLatin1String(query));
        clear();
        EXPECT_EQ(model_->searchText(), QString());
        EXPECT_EQ(selected(), Lines{"alpha"});
    }
    click("clearButton");
    EXPECT_EQ(selected(), Lines{});
}

// From the smallest window (900 x 600) up, the actions and the sheets' buttons stay in
// view while the list takes what is left; the run sheet grows with the window; a long
// name gives way to its badges with an ellipsis (the whole name is its hover help) where
// there is no room for it.
TEST_F(ViewsTest, AtEverySizeTheActionsStayInViewAndTheRunSheetGrows) {
    std::string catalogue = readFile(home_ / "Library/Application Support/Cairnmoor/catalog.json");
    const std::string longName = "Alpha Browser with a Name Long Enough to Run Over Its Badges, "
                                 "Marks and Package Name and Past the Card in a Small Window";
    catalogue.replace(catalogue.find("\"Alpha\""), 7, '"' + longName + '"');
    home_.write("Library/Application Support/Cairnmoor/catalog.json", catalogue);
    model_ = makeModel();
    openWindow();
    EXPECT_EQ(window_->minimumSize(), QSize(900, 600));
    qreal runSheetWidth = 0;
    for (const auto& [size, truncated] :
         {std::pair{QSize(900, 600), true}, {QSize(1600, 1000), false}}) {
        SCOPED_TRACE(size.width());
        window_->resize(size);
        const QSizeF wanted(size); // lambdas below may not capture a structured binding
        ASSERT_TRUE(waitFor([&] { return item("contentView")->size() == wanted; }));
        const QRectF inView{QPointF(), wanted};
        const auto inside = [&](const char* name) {
            QQuickItem* found = item(name);
            return found && inView.contains(found->mapRectToScene(found->boundingRect()));
        };
        EXPECT_TRUE(
            waitFor([&] { return inside("installButton") && inside("exportBrewfileButton"); }));
        EXPECT_GT(item("catalogueList")->height(), 100);
        EXPECT_EQ(item("appName_alpha")->property("truncated").toBool(), truncated);
        for (const auto& [sheet, button] :
             {std::pair{"showOptions", "optionsDoneButton"}, {"showRun", "closeRunButton"}}) {
            find("contentView")->setProperty(sheet, true);
            EXPECT_TRUE(waitFor([&, button = button] { return inside(button); }));
            find("contentView")->setProperty(sheet, false);
        }
        EXPECT_GT(item("runView")->width(), std::exchange(runSheetWidth, item("runView")->width()));
    }
}

// The window's frame is kept between launches; one on a screen that is gone comes back
// centred on the primary screen (the offscreen one: 800 x 600), and never below the
// window's minimum.
TEST_F(ViewsTest, TheWindowComesBackWhereItWasLeft) {
    ::unsetenv("XDG_CONFIG_HOME");
    // An empty frame: centred on the screen.
    const std::pair<QRect, QRect> frames[] = {
        {{40, 50, 700, 500}, {40, 50, 700, 500}},
        {{5000, 4000, 700, 500}, {}},
        {{10, 20, 100, 80}, {10, 20, 300, 200}},
    };
    for (auto [kept, restored] : frames) {
        QWindow left;
        left.setGeometry(kept);
        WindowSettings().saveGeometry(left);
        QWindow next;
        next.setMinimumSize({300, 200});
        WindowSettings().restoreGeometry(next);
        if (restored.isNull()) {
            restored = QRect({}, kept.size());
            restored.moveCenter(QGuiApplication::primaryScreen()->availableGeometry().center());
        }
        EXPECT_EQ(next.geometry(), restored);
    }
}

// The selection and the options (the manager among them) come back in the next window;
// the title names the profile opened or saved last, marked while the choice differs.
TEST_F(ViewsTest, TheChoiceComesBackInTheNextWindowAndTheTitleNamesTheProfile) {
    ::unsetenv("XDG_CONFIG_HOME");
    openWindow();
    model_->setSelectedIds({"alpha", "delta"});
    options().setPackageManagerIndex(1);
    const QString file = QString::fromStdString((home_ / "team.cmprofile").string());
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[] {}, "Cairnmoor"},
        {[&] { actions_->saveProfile(file); }, "team.cmprofile — Cairnmoor"},
        {[&] { model_->toggle(u"beta"_s); }, "team.cmprofile — Edited — Cairnmoor"},
        {[&] { model_->toggle(u"beta"_s); }, "team.cmprofile — Cairnmoor"},
        {[&] { options().setTimeoutSeconds(30); }, "team.cmprofile — Edited — Cairnmoor"},
        {[&] { actions_->openProfile(file); }, "team.cmprofile — Cairnmoor"},
        {[&] { options().setTimeoutSeconds(30); }, "team.cmprofile — Edited — Cairnmoor"},
    };
    for (const auto& [step, title] : steps) {
        step();
        EXPECT_EQ(window_->title().toStdString(), title);
    }
    shell_.reset();
    model_ = makeModel();
    openWindow();
    EXPECT_EQ(selected(), (Lines{"alpha", "delta"}));
    EXPECT_EQ(model_->options().packageManager, PackageManager::macports);
    EXPECT_EQ(model_->options().timeoutSeconds, 30);
}

// A run that took a minute or more and ended with the window in the background is
// announced with its outcome, and badged (what failed, or a check mark) until the window
// is active again; a shorter one, or one watched to its end, is not.
TEST_F(ViewsTest, ALongRunEndingInTheBackgroundIsAnnounced) {
    // Seconds the run took, the window in front, what fails, the badge ("": no notice).
    const std::tuple<int, bool, const char*, const char*> cases[] = {
        {61, false, "", "✓"}, {60, false, "beta", "1"}, {59, false, "", ""}, {600, true, "", ""}};
    for (const auto& [seconds, inFront, fail, badge] : cases) {
        SCOPED_TRACE(seconds);
        ::setenv("CAIRNMOOR_FAKE_FAIL", fail, 1);
        QStringList seen;
        const StepClock clock{std::chrono::seconds(seconds)};
        RunNotifier notifier(*model_, [inFront = inFront] { return inFront; },
                             {clock, [&](const QString&, const QString& body) { seen << body; },
                              [&](const QString& label) { seen << u"badge "_s + label; }});
        run({"alpha", "beta"});
        finish();
        notifier.windowActivated();
        const QString summary = installRun().runRowModel()->summary();
        EXPECT_EQ(seen, (*badge ? QStringList{summary, u"badge "_s + QString::fromUtf8(badge),
                                              u"badge "_s}
                                : QStringList{}));
    }
}

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

// A profile that cannot be opened is named, with what is wrong in the user's words;
// identifiers the catalogue lacks, or has for other systems only, are listed apart; the
// selection stays as it was.
TEST_F(ViewsTest, AProfileThatCannotBeOpenedIsNamedWithWhatIsWrong) {
    model_->toggle(u"beta"_s);
    Profile profile;
    profile.apps = {"alpha", "hotel", "zulu"};
    const std::string valid = profile.toData();
    std::string missing = valid;
    missing.replace(missing.find("\"apps\""), 6, "\"programs\"");
    const std::pair<std::string, const char*> files[] = {
        {"{ not JSON", "profile not json"},
        {missing, "profile no apps"},
        {valid, "profile unknown ids"},
    };
    WindowActions actions(*model_);
    for (const auto& [contents, key] : files) {
        actions.openProfile(
            QString::fromStdString(home_.write("team.cmprofile", contents).string()));
        EXPECT_EQ(actions.fileError(), golden(key));
        EXPECT_EQ(selected(), Lines{"beta"});
    }
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
