#include "buildinfo/BuildInfo.hpp"
#include "cli/GraphicalApplication.hpp"
#include "views/ApplicationShell.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QGuiApplication>
#include <QQuickStyle>

#include <cstdio>

namespace cairnmoor {

int startGraphicalApplication(int argc, char** argv) {
    QGuiApplication application(argc, argv);
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
