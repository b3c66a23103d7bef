#include "ViewsTest.hpp"

#include "catalogue/CatalogLoader.hpp"

#include <QGuiApplication>
#include <QTest>

#include <cstdlib>
#include <deque>
#include <fstream>

namespace cairnmoor::testing {

bool waitFor(const std::function<bool()>& condition, int milliseconds) {
    return QTest::qWaitFor(condition, milliseconds);
}

Catalog sampleCatalog() {
    return CatalogLoader::decode(
        readFile(std::filesystem::path(CAIRNMOOR_SOURCE_DIR) / "tests/views/sample-catalog.json"));
}

QString golden(const std::string& key) {
    std::ifstream in(std::filesystem::path(CAIRNMOOR_SOURCE_DIR) / "tests/views/texts.golden");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(key + ": ")) {
            return QString::fromStdString(line.substr(key.size() + 2));
        }
    }
    ADD_FAILURE() << "no golden text " << key;
    return {};
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
    writeCatalogue(sampleCatalog());
}

void ViewsTest::writeCatalogue(const Catalog& catalog) const {
    home_.write("Library/Application Support/Cairnmoor/catalog.json",
                CatalogLoader::encode(catalog));
}

std::unique_ptr<CairnmoorViewModel>
ViewsTest::makeModel(std::map<PackageManager, std::string> managerPaths) {
    return std::make_unique<CairnmoorViewModel>(
        [paths = std::move(managerPaths)](PackageManager manager) -> std::optional<std::string> {
            const auto found = paths.find(manager);
            return found == paths.end() ? std::nullopt : std::optional(found->second);
        });
}

std::string ViewsTest::lastInvocation() const {
    std::ifstream in(tools_ / "state" / "invocations.log");
    std::string last;
    for (std::string line; std::getline(in, line);) {
        last = line;
    }
    return last;
}

void ViewsTest::openWindow(ApplicationShell::Options options) {
    if (!model_) {
        model_ = makeModel({{PackageManager::homebrew, brewPath()}});
    }
    if (!actions_) {
        actions_ = std::make_unique<WindowActions>(*model_);
    }
    shell_ = std::make_unique<ApplicationShell>(*model_, *actions_, std::move(options));
    ASSERT_TRUE(shell_->load()) << shell_->failure().toStdString();
    window_ = shell_->window();
    // Tall enough that every row of the sample catalogue has its delegate.
    window_->resize(1000, 1500);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
    ASSERT_TRUE(waitFor([&] { return find("appCheckBox_alpha") != nullptr; }));
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
    clickItem(item(objectName));
}

void ViewsTest::clickItem(QQuickItem* target) {
    ASSERT_NE(target, nullptr);
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(target->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

} // namespace cairnmoor::testing
