#pragma once

#include "support/TempDir.hpp"
#include "views/ApplicationShell.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

// Readable failures: gtest finds this by argument-dependent lookup.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace cairnmoor::testing {

using namespace Qt::StringLiterals;
using Lines = std::vector<std::string>;

// Runs the event loop until `condition` holds or the time is up; the condition's last value.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 20000) {
    return QTest::qWaitFor(condition, milliseconds);
}

// sample-catalog.json, the cases the window cares about:
//   Browsers:  alpha (cask, port, recommended), beta (formula, no port, recommended
//              false), gamma (cask "gamma-browser", port "gamma", no recommended mark)
//   Developer: delta (formula, port, recommended), echo (cask, no port, recommended)
//   Media:     foxtrot (cask, port)
//   golf: a category the catalogue does not list; hotel: no macOS record.

// The text under this key in texts.golden.
QString golden(const std::string& key);
// A role of the first row of the list for this entry (or, by name, this category's header).
inline QVariant role(CatalogueRowModel& list, const char* id, int role,
                     int key = CatalogueRowModel::AppIdRole) {
    return list.data(list.match(list.index(0), key, QString::fromUtf8(id)).value(0), role);
}

// An offscreen application, a temporary HOME with the sample catalogue, the fake brew
// with no knob set (CAIRNMOOR_FAKE_* variables set by a test last until the next one; set
// them before making a model, whose inventory starts the fake at once), and on demand the
// whole window, driven through objectNames.
class ViewsTest : public ::testing::Test {
protected:
    ViewsTest();

    // A model whose managers are located at these paths (none: not located).
    std::unique_ptr<CairnmoorViewModel>
    makeModel(std::map<PackageManager, std::string> managerPaths = {});
    std::unique_ptr<CairnmoorViewModel> makeBrewModel() {
        return makeModel({{PackageManager::homebrew, brewPath()}});
    }
    std::string brewPath() const { return (tools_ / "brew").string(); }
    // The fake's command lines so far that start with `prefix`.
    Lines calls(const std::string& prefix = "brew install") const;
    // An app of this name outside Homebrew, where the fake brew puts a cask's app.
    std::filesystem::path placeApp(const std::string& bundle) const {
        std::filesystem::create_directories(home_ / "Applications" / bundle);
        return home_ / "Applications" / bundle;
    }

    // Starts a run of these entries (on a model with the fake brew, made unless there is
    // one) and, unless told otherwise, waits for its end.
    void run(const Lines& selection, bool toEnd = true);
    void finish() {
        ASSERT_TRUE(waitFor([&] { return model_->runFinished(); }, 300000));
    }
    // The log as the window shows it, a line feed after each line: what the log file holds.
    std::string shown() const { return model_->logLineModel()->text().toStdString(); }

    // Loads the window over model_ (made with the fake brew when there is none) and
    // actions_ (the real ones when there are none); the QML reports no error.
    void openWindow(ApplicationShell::Options options = {});

public:
    // The first object that passes, in any window, popups and delegates included.
    QObject* findIf(const std::function<bool(QObject*)>& test) const;
    QObject* find(const char* objectName) const {
        return findIf(
            [&](QObject* object) { return object->objectName() == QLatin1String(objectName); });
    }
    QQuickItem* item(const char* objectName) const {
        return qobject_cast<QQuickItem*>(find(objectName));
    }
    bool shows(const char* objectName) const;
    // A click in the middle of the item, once it shows.
    void click(const char* objectName);

    TempDir home_;
    TempDir tools_;
    // Destroyed in reverse: the window, then the actions, then the model they use.
    std::unique_ptr<CairnmoorViewModel> model_;
    std::unique_ptr<WindowActions> actions_;
    std::unique_ptr<ApplicationShell> shell_;
    QQuickWindow* window_ = nullptr;
};

} // namespace cairnmoor::testing
