#include "GuiTestFixture.hpp"

#include "managers/MacPortsExecutable.hpp"

#include <QTest>

#include <cstdlib>
#include <deque>

namespace cairnmoor::testing {

GuiWindowTest::GuiWindowTest() {
    // The software scene graph renders without a GPU, like CI.
    ::setenv("QT_QUICK_BACKEND", "software", 0);
}

GuiWindowTest::~GuiWindowTest() {
    shell_.reset();
    actions_.reset();
    model_.reset();
}

void GuiWindowTest::openWindow(std::unique_ptr<CairnmoorViewModel> model,
                               WindowActions::TrustCheck trustCheck,
                               WindowActions::Launcher launcher) {
    model_ = std::move(model);
    if (!trustCheck) {
        trustCheck = [](const std::string& path) {
            return MacPortsExecutable::isTrusted(path, FileManager::defaultManager());
        };
    }
    if (!launcher) {
        launcher = [](const std::filesystem::path& script, TerminalLauncher::Completion done) {
            TerminalLauncher::open(script, std::move(done));
        };
    }
    actions_ = std::make_unique<WindowActions>(*model_, FileManager::defaultManager(),
                                               std::move(trustCheck), std::move(launcher));
    shell_ = std::make_unique<ApplicationShell>(*model_, *actions_);
    ASSERT_TRUE(shell_->load()) << shell_->errors().join(QLatin1Char('\n')).toStdString();
    window_ = shell_->window();
    // Tall enough that every row of the sample catalogue has its delegate.
    window_->resize(1000, 1500);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
    ASSERT_TRUE(waitFor([&] { return item(QStringLiteral("catalogueList")) != nullptr; }));
}

void GuiWindowTest::openWindow(std::map<PackageManager, std::string> managerPaths) {
    openWindow(makeModel(std::move(managerPaths)));
}

QObject* GuiWindowTest::find(const QString& objectName) const {
    if (window_ == nullptr) {
        return nullptr;
    }
    // Popups keep their content outside the item tree until shown, so walk both the
    // object tree and the item tree.
    std::deque<QObject*> queue = {window_};
    while (!queue.empty()) {
        QObject* current = queue.front();
        queue.pop_front();
        if (current->objectName() == objectName) {
            return current;
        }
        for (QObject* child : current->children()) {
            queue.push_back(child);
        }
        if (auto* quickItem = qobject_cast<QQuickItem*>(current)) {
            for (QQuickItem* child : quickItem->childItems()) {
                if (child->parent() != current) {
                    queue.push_back(child);
                }
            }
        }
        if (current == window_) {
            queue.push_back(window_->contentItem());
        }
    }
    return nullptr;
}

QQuickItem* GuiWindowTest::item(const QString& objectName) const {
    return qobject_cast<QQuickItem*>(find(objectName));
}

QString GuiWindowTest::text(const QString& objectName) const {
    QObject* object = find(objectName);
    return object ? object->property("text").toString() : QStringLiteral("<no %1>").arg(objectName);
}

bool GuiWindowTest::shows(const QString& objectName) const {
    QQuickItem* found = item(objectName);
    return found != nullptr && found->isVisible() && found->window() == window_;
}

bool GuiWindowTest::isEnabled(const QString& objectName) const {
    QQuickItem* found = item(objectName);
    return found != nullptr && found->isEnabled();
}

void GuiWindowTest::click(const QString& objectName) {
    ASSERT_TRUE(waitFor([&] { return shows(objectName); })) << objectName.toStdString();
    QQuickItem* target = item(objectName);
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(window_, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

} // namespace cairnmoor::testing
