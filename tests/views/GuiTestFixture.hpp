#pragma once

#include "ViewModelTestFixture.hpp"
#include "views/ApplicationShell.hpp"
#include "views/WindowActions.hpp"

#include <QQuickItem>
#include <QQuickWindow>
#include <QString>

#include <memory>

namespace cairnmoor::testing {

// The whole window, offscreen, over the sample catalogue in a temporary HOME. Items
// are found by objectName and driven the way a user would: clicks, typed text.
class GuiWindowTest : public ViewModelTest {
protected:
    GuiWindowTest();
    ~GuiWindowTest() override;

    // Loads the window over `model`; the actions use the real file system with the
    // given trust check and Terminal launcher (defaults: the real ones).
    void openWindow(std::unique_ptr<CairnmoorViewModel> model,
                    WindowActions::TrustCheck trustCheck = {},
                    WindowActions::Launcher launcher = {});
    void openWindow(std::map<PackageManager, std::string> managerPaths = {});

    // The item or object with this objectName anywhere in the window (popups and
    // list delegates included), or null.
    QObject* find(const QString& objectName) const;
    QQuickItem* item(const QString& objectName) const;
    QString text(const QString& objectName) const;
    // Shown on screen: the item exists and it and all its parents are visible.
    bool shows(const QString& objectName) const;
    bool isEnabled(const QString& objectName) const;
    // A left click in the middle of the item; fails the test when it is not shown.
    void click(const QString& objectName);
    QObject* contentView() const { return find(QStringLiteral("contentView")); }

    std::unique_ptr<CairnmoorViewModel> model_;
    std::unique_ptr<WindowActions> actions_;
    std::unique_ptr<ApplicationShell> shell_;
    QQuickWindow* window_ = nullptr;
};

} // namespace cairnmoor::testing
