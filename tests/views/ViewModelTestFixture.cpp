#include "ViewModelTestFixture.hpp"

#include "catalogue/CatalogLoader.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>

#include <cstdlib>

namespace cairnmoor::testing {

void ensureApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static int argc = 1;
    static char name[] = "test_views";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt Quick's own clean-up at exit runs after its statics are gone
    // when the application object is itself a static, and crashes.
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    (void)application;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    return QTest::qWaitFor(condition, static_cast<int>(deadline.count()));
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        previous_ = old;
    }
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

namespace {

AppEntry entry(std::string id, std::string category, std::optional<MacOSInfo> macos,
               std::optional<bool> recommended = std::nullopt) {
    AppEntry app;
    app.name = id;
    app.name[0] = static_cast<char>(app.name[0] - 'a' + 'A'); // "alpha" -> "Alpha"
    app.id = std::move(id);
    app.category = std::move(category);
    app.licence = "open-source";
    app.homepage = "https://example.org/" + app.id;
    app.summary = "The " + app.id + " application";
    app.macos = std::move(macos);
    app.recommended = recommended;
    return app;
}

MacOSInfo cask(std::string name, std::optional<std::string> port) {
    return MacOSInfo{std::move(name), "cask", std::move(port)};
}

MacOSInfo formula(std::string name, std::optional<std::string> port) {
    return MacOSInfo{std::move(name), "formula", std::move(port)};
}

} // namespace

Catalog sampleCatalog() {
    Catalog catalog;
    catalog.updated = "2026-12-01";
    catalog.licences = {{"open-source", "Free and open-source software"}};
    catalog.categories = {"Browsers", "Unused", "Developer", "Media", "Nothing for macOS"};
    catalog.apps = {
        entry("alpha", "Browsers", cask("alpha", "alpha"), true),
        entry("beta", "Browsers", formula("beta", std::nullopt), false),
        entry("gamma", "Browsers", cask("gamma-browser", "gamma")),
        entry("delta", "Developer", formula("delta", "delta"), true),
        entry("echo", "Developer", cask("echo", std::nullopt), true),
        entry("foxtrot", "Media", cask("foxtrot", "foxtrot")),
        entry("golf", "Unlisted", cask("golf", "golf"), true),
        entry("hotel", "Nothing for macOS", std::nullopt, true),
    };
    return catalog;
}

ViewModelTest::ViewModelTest() : homeEnv_("HOME", home_.path().string()) {
    ensureApplication();
    writeCatalogue(sampleCatalog());
}

void ViewModelTest::writeCatalogue(const Catalog& catalog) const {
    home_.write("Library/Application Support/Cairnmoor/catalog.json",
                CatalogLoader::encode(catalog));
}

std::unique_ptr<CairnmoorViewModel>
ViewModelTest::makeModel(std::map<PackageManager, std::string> managerPaths) {
    return std::make_unique<CairnmoorViewModel>(
        [paths = std::move(managerPaths)](PackageManager manager) -> std::optional<std::string> {
            const auto found = paths.find(manager);
            if (found == paths.end()) {
                return std::nullopt;
            }
            return found->second;
        });
}

} // namespace cairnmoor::testing
