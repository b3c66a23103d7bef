#include "buildinfo/BuildInfo.hpp"
#include "cli/GraphicalApplication.hpp"
#include "views/ApplicationShell.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QGuiApplication>
#include <QQuickStyle>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace cairnmoor {

namespace {

// What Qt said while the platform was coming up: its own lines are plugin noise to a
// user, and only the first one names the cause (for example no display).
QString firstComplaint;
QtMessageHandler previousHandler = nullptr;

void cannotStart(const QString& reason) {
    std::fprintf(stderr,
                 "Cairnmoor: the window cannot start (%s); Cairnmoor --help lists the command "
                 "line.\n",
                 reason.toUtf8().constData());
}

void startupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (firstComplaint.isEmpty()) {
        firstComplaint = message.section(QLatin1Char('\n'), 0, 0);
    }
    if (type == QtFatalMsg) {
        // Qt would abort with a core dump; a missing display is no crash.
        cannotStart(firstComplaint);
        std::fflush(stderr);
        std::_Exit(1);
    }
}

bool hasDisplay() {
#if defined(__APPLE__)
    return true;
#else
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
#endif
}

} // namespace

int startGraphicalApplication(int argc, char** argv) {
    if (!hasDisplay()) {
        cannotStart(QStringLiteral("no display: neither DISPLAY nor WAYLAND_DISPLAY is set"));
        return 1;
    }
    previousHandler = qInstallMessageHandler(startupMessages);
    QGuiApplication application(argc, argv);
    qInstallMessageHandler(previousHandler);
    QGuiApplication::setApplicationName(QString::fromUtf8(BuildInfo::product));
    QGuiApplication::setApplicationVersion(QString::fromStdString(BuildInfo::version()));
    // The one fixed dark look is drawn by our own views; the Basic controls take it
    // everywhere, where a platform style would not.
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    // One view model for the life of the process.
    CairnmoorViewModel model;
    WindowActions actions(model);
    ApplicationShell shell(model, actions);
    if (!shell.load()) {
        std::fprintf(stderr, "%s\n", shell.failure().toUtf8().constData());
        return 1;
    }
    // Queued: the quit closes the windows, which must not happen inside a model signal.
    QObject::connect(&shell, &ApplicationShell::quitApproved, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return QGuiApplication::exec();
}

} // namespace cairnmoor
