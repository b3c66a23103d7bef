#pragma once

#include "catalogue/Catalog.hpp"
#include "support/TempDir.hpp"
#include "views/ApplicationShell.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QQuickItem>
#include <QQuickWindow>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace cairnmoor::testing {

using namespace Qt::StringLiterals;

// Runs the event loop until `condition` holds or the time is up; the condition's last value.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 20000);

// sample-catalog.json, the cases the window cares about:
//   Browsers:  alpha (cask, port, recommended), beta (formula, no port, recommended
//              false), gamma (cask "gamma-browser", port "gamma", no recommended mark)
//   Developer: delta (formula, port, recommended), echo (cask, no port, recommended)
//   Media:     foxtrot (cask, port)
//   golf: a category the catalogue does not list; hotel: no macOS record.
Catalog sampleCatalog();
// The text under this key in texts.golden.
QString golden(const std::string& key);

// An offscreen application, a temporary HOME with the sample catalogue, the fake brew
// with no knob set (CAIRNMOOR_FAKE_* variables set by a test last until the next one),
// and on demand the whole window, driven through objectNames.
class ViewsTest : public ::testing::Test {
protected:
    ViewsTest();

    // A model whose managers are located at these paths (none: not located).
    std::unique_ptr<CairnmoorViewModel>
    makeModel(std::map<PackageManager, std::string> managerPaths = {});
    void writeCatalogue(const Catalog& catalog) const;
    std::string brewPath() const { return (tools_ / "brew").string(); }
    // The fake's last command line, "" before the first.
    std::string lastInvocation() const;

    // Loads the window over model_ (made with the fake brew when there is none) and
    // actions_ (the real ones when there are none).
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
    static void clickItem(QQuickItem* target);

    TempDir home_;
    TempDir tools_;
    // Destroyed in reverse: the window, then the actions, then the model they use.
    std::unique_ptr<CairnmoorViewModel> model_;
    std::unique_ptr<WindowActions> actions_;
    std::unique_ptr<ApplicationShell> shell_;
    QQuickWindow* window_ = nullptr;
};

} // namespace cairnmoor::testing
