#include "ViewsTest.hpp"

#include <QGuiApplication>
#include <QTest>

#include <cstdlib>
#include <deque>
#include <fstream>

namespace cairnmoor::testing {

// The lines of a file that start with `prefix`.
Lines linesStarting(const std::filesystem::path& file, const std::string& prefix) {
    std::ifstream in(file);
    Lines found;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(prefix)) {
            found.push_back(line);
        }
    }
    return found;
}

QString golden(const std::string& key) {
    const Lines found = linesStarting(
        std::filesystem::path(CAIRNMOOR_SOURCE_DIR) / "tests/views/texts.golden", key + ": ");
    EXPECT_EQ(found.size(), 1U) << "golden text " << key;
    return found.empty() ? QString() : QString::fromStdString(found[0].substr(key.size() + 2));
}

ViewsTest::ViewsTest() {
    if (QCoreApplication::instance() == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("QT_QUICK_BACKEND", "software", 0);
        static int argc = 1;
        static char name[] = "test_views";
        static char* argv[] = {name, nullptr};
        // Never destroyed: Qt Quick's clean-up at exit would run after its statics are gone.
        new QGuiApplication(argc, argv);
    }
    ::setenv("HOME", home_.path().c_str(), 1);
    ::setenv("CAIRNMOOR_FAKE_STATE", (tools_ / "state").c_str(), 1);
    for (const char* knob :
         {"CAIRNMOOR_FAKE_FAIL", "CAIRNMOOR_FAKE_HANG", "CAIRNMOOR_FAKE_IGNORE_TERM",
          "CAIRNMOOR_FAKE_FLOOD", "CAIRNMOOR_FAKE_INVALID_UTF8"}) {
        ::unsetenv(knob);
    }
    std::filesystem::create_symlink(std::filesystem::path(CAIRNMOOR_FAKES_DIR) / "brew",
                                    tools_ / "brew");
    home_.write(
        "Library/Application Support/Cairnmoor/catalog.json",
        readFile(std::filesystem::path(CAIRNMOOR_SOURCE_DIR) / "tests/views/sample-catalog.json"));
}

std::unique_ptr<CairnmoorViewModel>
ViewsTest::makeModel(std::map<PackageManager, std::string> managerPaths) {
    return std::make_unique<CairnmoorViewModel>(
        [paths = std::move(managerPaths)](PackageManager manager) -> std::optional<std::string> {
            const auto found = paths.find(manager);
            return found == paths.end() ? std::nullopt : std::optional(found->second);
        });
}

Lines ViewsTest::calls(const std::string& prefix) const {
    return linesStarting(tools_ / "state" / "invocations.log", prefix);
}

void ViewsTest::run(const Lines& selection, bool toEnd) {
    model_ = model_ ? std::move(model_) : makeBrewModel();
    model_->setSelectedIds({selection.begin(), selection.end()});
    ASSERT_TRUE(model_->startInstall());
    if (toEnd) {
        finish();
    }
}

void ViewsTest::openWindow(ApplicationShell::Options options) {
    model_ = model_ ? std::move(model_) : makeBrewModel();
    actions_ = actions_ ? std::move(actions_) : std::make_unique<WindowActions>(*model_);
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

QObject* ViewsTest::findIf(const std::function<bool(QObject*)>& test) const {
    // Popups keep their content outside the item tree until shown, and windows are not
    // items: walk the object tree, the item tree and every window from its root item.
    const QWindowList windows = QGuiApplication::allWindows();
    std::deque<QObject*> queue(windows.begin(), windows.end());
    while (!queue.empty()) {
        QObject* current = queue.front();
        queue.pop_front();
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

bool ViewsTest::shows(const char* objectName) const {
    const QQuickItem* found = item(objectName);
    return found && found->isVisible() && found->window() && found->window()->isVisible();
}

void ViewsTest::click(const char* objectName) {
    ASSERT_TRUE(waitFor([&] { return shows(objectName); })) << objectName;
    QQuickItem* target = item(objectName);
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(target->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

} // namespace cairnmoor::testing
