// Renders the window's main screens to PNG files offscreen, so that a person can look
// at them: the main window with its installed marks, the smallest window, a search, the
// menu, the options sheet, a save dialog and what a save says afterwards, the question
// before replacing apps, a run sheet with the planned actions while the downloads ahead
// are under way, a finished run sheet and the About window.
//
//   cairnmoor_screenshots [output-folder]     (default: docs/screenshots)
//
// It runs over the shipped catalogue in a temporary HOME, with the fake `brew` of the
// tests on PATH, so nothing on this machine is installed or read.

#include "views/ApplicationShell.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

using cairnmoor::ApplicationShell;
using cairnmoor::CairnmoorViewModel;
using cairnmoor::WindowActions;

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5); // yields to the install thread; the loop checks the condition
    }
    return true;
}

// Lets the scene graph settle (layouts, list delegates, popups) before grabbing.
void settle(QQuickWindow* window) {
    for (int frame = 0; frame < 10; ++frame) {
        window->update();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

bool save(QQuickWindow* window, const QString& folder, const char* name) {
    settle(window);
    const QImage image = window->grabWindow();
    const QString path = folder + QLatin1Char('/') + QString::fromUtf8(name);
    if (image.isNull() || !image.save(path)) {
        std::fprintf(stderr, "could not write %s\n", path.toUtf8().constData());
        return false;
    }
    std::printf("%s\n", path.toUtf8().constData());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QT_QUICK_BACKEND", "software", 0);

    QTemporaryDir scratch;
    const std::filesystem::path root = scratch.path().toStdString();
    // The save dialog starts in Documents; give it something to list.
    std::filesystem::create_directories(root / "home" / "Documents" / "Profiles");
    std::ofstream(root / "home" / "Documents" / "team.cmprofile") << "{}\n";
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_directories(root / "state" / "casks");
    std::filesystem::create_symlink(std::filesystem::path(CAIRNMOOR_FAKES_DIR) / "brew",
                                    root / "bin" / "brew");
    // One package is already there, one app sits outside Homebrew, one package fails, so
    // the catalogue shows both marks and the run sheet every colour.
    std::ofstream(root / "state" / "casks" / "firefox") << "1.0.0\n";
    std::filesystem::create_directories(root / "home" / "Applications" / "Google-chrome.app");
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("CAIRNMOOR_FAKE_STATE", (root / "state").c_str(), 1);
    ::setenv("CAIRNMOOR_FAKE_FAIL", "vlc", 1);
    const std::string path = (root / "bin").string() + ":" + std::getenv("PATH");
    ::setenv("PATH", path.c_str(), 1);

    QGuiApplication application(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(folder);

    CairnmoorViewModel model;
    cairnmoor::OptionsModel& options = *model.optionsModel();
    cairnmoor::InstallRun& run = *model.installRun();
    WindowActions actions(model);
    ApplicationShell shell(model, actions);
    if (!shell.load()) {
        for (const QString& error : shell.errors()) {
            std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        }
        return 1;
    }
    QQuickWindow* window = shell.window();
    window->resize(1080, 760);
    QObject* content = window->findChild<QObject*>(QStringLiteral("contentView"));

    model.selectRecommended();
    if (!waitUntil([&] { return model.installedMarks()->known(); })) {
        std::fputs("the inventory did not arrive\n", stderr);
        return 1;
    }
    bool ok = save(window, folder, "main-window.png");

    // The smallest window keeps its actions in view.
    window->resize(900, 600);
    ok = save(window, folder, "small-window.png") && ok;
    window->resize(1080, 760);

    model.setSearchText(QStringLiteral("video"));
    ok = save(window, folder, "search.png") && ok;
    model.setSearchText(QString());

    QObject* menu = content->findChild<QObject*>(QStringLiteral("appMenu"));
    QMetaObject::invokeMethod(menu, "open");
    ok = save(window, folder, "app-menu.png") && ok;
    QMetaObject::invokeMethod(menu, "close");

    content->setProperty("showOptions", true);
    ok = save(window, folder, "options-sheet.png") && ok;
    content->setProperty("showOptions", false);

    QObject* dialog = content->findChild<QObject*>(QStringLiteral("saveProfileDialog"));
    QMetaObject::invokeMethod(dialog, "present");
    ok = save(window, folder, "save-dialog.png") && ok;
    QMetaObject::invokeMethod(dialog, "reject");

    // What a save says afterwards.
    actions.saveProfile(
        QString::fromStdString((root / "home" / "Documents" / "team.cmprofile").string()));
    ok = save(window, folder, "saved-notice.png") && ok;
    actions.dismissSaved();

    // Without upgrades the pre-installed package shows as already present.
    options.setUpgradeIfPresent(false);
    cairnmoor::ReplaceConfirmation* confirmation = model.replaceConfirmation();
    options.setExistingAppsIndex(2);
    QMetaObject::invokeMethod(content, "install");
    if (!waitUntil([&] { return !confirmation->question().isEmpty(); })) {
        std::fputs("the question before replacing did not come\n", stderr);
        return 1;
    }
    ok = save(window, folder, "replace-question.png") && ok;
    confirmation->decline();

    // The plan before anything is installed: the downloads ahead hang until cancelled.
    options.setExistingAppsIndex(0);
    ::setenv("CAIRNMOOR_FAKE_HANG", "@fetch", 1);
    QMetaObject::invokeMethod(content, "install");
    const auto downloading = [&] {
        const auto& rows = run.runRows();
        return std::any_of(rows.begin(), rows.end(), [](const cairnmoor::RunRow& row) {
            return row.state == cairnmoor::PackageState::downloading();
        });
    };
    if (!waitUntil(downloading)) {
        std::fputs("the downloads ahead did not start\n", stderr);
        return 1;
    }
    ok = save(window, folder, "run-plan.png") && ok;
    run.cancelRun();
    if (!waitUntil([&] { return run.runFinished(); })) {
        std::fputs("the cancelled run did not end\n", stderr);
        return 1;
    }
    content->setProperty("showRun", false);
    ::unsetenv("CAIRNMOOR_FAKE_HANG");

    // Homebrew takes over the app it found outside it.
    options.setExistingAppsIndex(1);
    QMetaObject::invokeMethod(content, "install");
    if (!waitUntil([&] { return run.runFinished(); })) {
        std::fputs("the install run did not finish\n", stderr);
        return 1;
    }
    ok = save(window, folder, "run-sheet.png") && ok;
    content->setProperty("showRun", false);

    QObject* about = window->findChild<QObject*>(QStringLiteral("aboutWindow"));
    if (about == nullptr) {
        // Windows are not children of the main window's item tree; look it up by name.
        for (QWindow* candidate : QGuiApplication::allWindows()) {
            if (candidate->objectName() == QStringLiteral("aboutWindow")) {
                about = candidate;
            }
        }
    }
    QMetaObject::invokeMethod(about, "present");
    auto* aboutWindow = qobject_cast<QQuickWindow*>(about);
    ok = aboutWindow != nullptr && save(aboutWindow, folder, "about-window.png") && ok;

    for (const QString& error : shell.errors()) {
        std::fprintf(stderr, "QML: %s\n", error.toUtf8().constData());
    }
    return ok ? 0 : 1;
}
