#pragma once

#include "support/StepClock.hpp"
#include "support/TempDir.hpp"
#include "views/ApplicationShell.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <fstream>

// Readable failures: gtest finds this by argument-dependent lookup.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace cairnmoor::testing {

using namespace Qt::StringLiterals;
using namespace std::literals;
using Lines = std::vector<std::string>;
using Row = CatalogueRowModel;
namespace fs = std::filesystem;

// The lines of a file that start with `prefix`.
inline Lines linesStarting(const fs::path& file, const std::string& prefix) {
    std::ifstream in(file);
    Lines found;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(prefix)) {
            found.push_back(line);
        }
    }
    return found;
}

// The text under this key in texts.golden.
inline QString golden(const std::string& key) {
    const Lines found = linesStarting(CAIRNMOOR_SOURCE_DIR "/tests/views/texts.golden", key + ": ");
    EXPECT_EQ(found.size(), 1U) << "golden text " << key;
    return found.empty() ? QString() : QString::fromStdString(found[0].substr(key.size() + 2));
}

// sample-catalog.json, the cases the window cares about:
//   Browsers:  alpha (cask, port, recommended), beta (formula, no port, recommended
//              false), gamma (cask "gamma-browser", port "gamma", no recommended mark)
//   Developer: delta (formula, port, recommended), echo (cask, no port, recommended)
//   Media:     foxtrot (cask, port)
//   golf: a category the catalogue does not list; hotel: no macOS record.

// An offscreen application, a temporary HOME with the sample catalogue, the fake brew
// with no knob set (knobs set by a test last until the next one), a model (its inventory
// starts at once: a test that needs the first one to see its files makes its own), and on
// demand the whole window, driven through objectNames.
class ViewsTest : public ::testing::Test {
protected:
    ViewsTest() {
        if (QCoreApplication::instance() == nullptr) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
            ::setenv("QT_QUICK_BACKEND", "software", 0);
            static int argc = 1;
            static char* argv[] = {const_cast<char*>("test_views"), nullptr};
            // Never destroyed: Qt Quick's clean-up at exit would run after its statics are gone.
            new QGuiApplication(argc, argv);
        }
        ::setenv("HOME", home_.path().c_str(), 1);
        ::setenv("CAIRNMOOR_FAKE_STATE", (tools_ / "state").c_str(), 1);
        for (const char* name : {"FAIL", "HANG", "IGNORE_TERM", "FLOOD", "INVALID_UTF8", "SUDO"}) {
            ::unsetenv((std::string("CAIRNMOOR_FAKE_") + name).c_str());
        }
        home_.write("Library/Application Support/Cairnmoor/catalog.json",
                    readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/views/sample-catalog.json"));
        model_ = makeModel();
    }

    // Runs the event loop until `condition` holds or the time is up; the condition's last value.
    static bool waitFor(const std::function<bool()>& condition, int milliseconds = 20000) {
        return QTest::qWaitFor(condition, milliseconds);
    }

    // A model that finds the fake brew, and MacPorts where it belongs (not on this machine).
    static std::unique_ptr<CairnmoorViewModel> makeModel(const Clock& clock = Clock::steady()) {
        return std::make_unique<CairnmoorViewModel>(
            [](PackageManager manager) {
                return std::optional<std::string>(manager == PackageManager::homebrew
                                                      ? CAIRNMOOR_FAKES_DIR "/brew"
                                                      : "/opt/local/bin/port");
            },
            clock);
    }
    OptionsModel& options() const { return *model_->optionsModel(); }
    InstallRun& installRun() const { return *model_->installRun(); }
    // The fake's install commands so far.
    Lines calls() const { return linesStarting(tools_ / "state/invocations.log", "brew install"); }
    // An app of this name outside Homebrew, where the fake brew puts a cask's app; its path.
    QString placeApp(const std::string& bundle) const {
        fs::create_directories(home_ / "Applications" / bundle);
        return QString::fromStdString((home_ / "Applications" / bundle).string());
    }
    // model_'s selection, and a role of the first catalogue row for this entry (or, by
    // name, this category's header).
    Lines selected() const { return {model_->selectedIds().begin(), model_->selectedIds().end()}; }
    QVariant role(const char* id, int role, int key = Row::AppIdRole) const {
        Row& rows = *model_->catalogueRows();
        return rows.data(rows.match(rows.index(0), key, QString::fromUtf8(id)).value(0), role);
    }

    // Starts a run of these entries; finish() waits for its end.
    void run(const Lines& selection) {
        model_->setSelectedIds({selection.begin(), selection.end()});
        ASSERT_TRUE(model_->startInstall());
    }
    void finish() {
        ASSERT_TRUE(waitFor([&] { return installRun().runFinished(); }, 300000));
    }
    // The log as the window shows it, a line feed after each line: what the log file holds.
    std::string shown() const { return installRun().logLineModel()->text().toStdString(); }

    // Loads the window over model_ with the real actions; the QML reports no error.
    void openWindow(ApplicationShell::Options options = {}) {
        actions_ = std::make_unique<WindowActions>(*model_);
        shell_ = std::make_unique<ApplicationShell>(*model_, *actions_, std::move(options));
        ASSERT_TRUE(shell_->load()) << shell_->failure().toStdString();
        window_ = shell_->window();
        // Tall enough that every row of the sample catalogue has its delegate.
        window_->resize(1000, 1500);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
        ASSERT_TRUE(waitFor([&] {
            return findIf([](QObject* o) { return o->objectName().startsWith(u"appCheckBox_"_s); });
        }));
        EXPECT_EQ(shell_->errors(), QStringList());
    }

    // The first object that passes, in any window, popups and delegates included. Popups
    // keep their content outside the item tree until shown, and windows are not items:
    // walk the object tree, the item tree and every window from its root item.
    QObject* findIf(const std::function<bool(QObject*)>& test) const {
        const QWindowList windows = QGuiApplication::allWindows();
        std::deque<QObject*> queue(windows.begin(), windows.end());
        for (; !queue.empty(); queue.pop_front()) {
            QObject* current = queue.front();
            if (test(current)) {
                return current;
            }
            queue.insert(queue.end(), current->children().begin(), current->children().end());
            if (auto* quickItem = qobject_cast<QQuickItem*>(current)) {
                for (QQuickItem* child : quickItem->childItems()) {
                    if (child->parent() != current) {
                        queue.push_back(child);
                    }
                }
            } else if (auto* quickWindow = qobject_cast<QQuickWindow*>(current)) {
                QQuickItem* content = quickWindow->contentItem();
                queue.push_back(content->parentItem() ? content->parentItem() : content);
            }
        }
        return nullptr;
    }
    QObject* find(const char* name) const {
        return findIf([&](QObject* o) { return o->objectName() == QLatin1String(name); });
    }
    QQuickItem* item(const char* name) const { return qobject_cast<QQuickItem*>(find(name)); }
    bool shows(const char* name) const {
        const QQuickItem* found = item(name);
        return found && found->isVisible() && found->window() && found->window()->isVisible();
    }
    // A click in the middle of the item, once it shows.
    void click(const char* name) {
        ASSERT_TRUE(waitFor([&] { return shows(name); })) << name;
        QQuickItem* target = item(name);
        // A frame first: an item that has just appeared is placed by the layout's polish,
        // which runs before the next frame is drawn.
        (void)target->window()->grabWindow();
        const QPointF centre = target->mapToScene({target->width() / 2, target->height() / 2});
        QTest::mouseClick(target->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }

    TempDir home_;
    TempDir tools_;
    // Destroyed in reverse: the window, then the actions, then the model they use.
    std::unique_ptr<CairnmoorViewModel> model_;
    std::unique_ptr<WindowActions> actions_;
    std::unique_ptr<ApplicationShell> shell_;
    QQuickWindow* window_ = nullptr;
};

} // namespace cairnmoor::testing
