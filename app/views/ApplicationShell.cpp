#include "views/ApplicationShell.hpp"

#include "views/CairnmoorViewModel.hpp"
#include "views/QmlModules.hpp"
#include "views/WindowActions.hpp"
#include "views/WindowConfigurator.hpp"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

namespace cairnmoor {

bool ApplicationShell::isCocoa() {
    return QGuiApplication::platformName() == QStringLiteral("cocoa");
}

ApplicationShell::ApplicationShell(CairnmoorViewModel& model, WindowActions& actions,
                                   QObject* parent)
    : ApplicationShell(model, actions, Options{}, parent) {}

ApplicationShell::ApplicationShell(CairnmoorViewModel& model, WindowActions& actions,
                                   Options options, QObject* parent)
    : QObject(parent), model_(model), actions_(actions), options_(std::move(options)),
      identity_(options_.publisher),
      notifier_(model_,
                [this] {
                    const QQuickWindow* main = window();
                    return QGuiApplication::applicationState() == Qt::ApplicationActive &&
                           main != nullptr && main->isActive();
                }),
      engine_(std::make_unique<QQmlApplicationEngine>()) {
    // Elsewhere than macOS the platform's file dialog may be missing or follow a light
    // desktop theme; the Qt Quick dialog follows the window's dark palette everywhere.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, !nativeDialogs());
    cards_.setSourceModel(model_.catalogueRows());
    connect(engine_.get(), &QQmlEngine::warnings, this, [this](const QList<QQmlError>& warnings) {
        for (const QQmlError& warning : warnings) {
            errors_.append(warning.toString());
        }
    });
    // A manager installed or removed while the application was in the background is
    // noticed when the user comes back.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive) {
                        model_.refreshManagers();
                        notifier_.windowActivated();
                    }
                });
    }
    connect(model_.installRun(), &InstallRun::runCompleted, this, [this]() {
        if (quitPending_) {
            Q_EMIT quitApproved();
        }
    });
}

ApplicationShell::~ApplicationShell() {
    if (QQuickWindow* main = window()) {
        settings_.saveGeometry(*main);
    }
    settings_.saveChoice(model_);
}

bool ApplicationShell::load() {
    if (const auto missing = QmlModules::missing(*engine_); !missing.empty()) {
        failure_ = QmlModules::message(missing);
        return false;
    }
    // The user's last choice, before the views first draw it.
    settings_.restoreChoice(model_);
    engine_->setInitialProperties({
        {QStringLiteral("viewModel"), QVariant::fromValue(static_cast<QObject*>(&model_))},
        {QStringLiteral("actions"), QVariant::fromValue(static_cast<QObject*>(&actions_))},
        {QStringLiteral("identity"), QVariant::fromValue(static_cast<QObject*>(&identity_))},
        {QStringLiteral("catalogueCards"), QVariant::fromValue(static_cast<QObject*>(&cards_))},
        {QStringLiteral("shell"), QVariant::fromValue(static_cast<QObject*>(this))},
        {QStringLiteral("settings"), QVariant::fromValue(static_cast<QObject*>(&settings_))},
    });
    engine_->load(QUrl(QString::fromUtf8(mainQml)));
    QQuickWindow* main = window();
    if (main == nullptr) {
        failure_ = QStringLiteral("Cairnmoor: the window could not be created.\n") +
                   errors_.join(QLatin1Char('\n'));
        return false;
    }
    // The window comes back where the user left it; it is shown only then, so it does
    // not jump.
    settings_.restoreGeometry(*main);
    connect(main, &QWindow::visibleChanged, this, [this, main](bool visible) {
        if (!visible) {
            settings_.saveGeometry(*main);
        }
    });
    main->show();
    // The platform window exists once a window is shown; Qt may rebuild it later. The
    // About window keeps its title bar but takes the same dark appearance.
    QList<QQuickWindow*> windows = main->findChildren<QQuickWindow*>();
    windows.prepend(main);
    for (QQuickWindow* window : windows) {
        const bool hidesTitleBar = window == main && options_.hidesTitleBar;
        const auto configure = [window, hidesTitleBar]() {
            if (window->isVisible()) {
                WindowConfigurator::configure(*window, hidesTitleBar);
            }
        };
        connect(window, &QWindow::visibleChanged, this, configure);
        configure();
    }
    return true;
}

QQuickWindow* ApplicationShell::window() const {
    const QList<QObject*> roots = engine_->rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
}

void ApplicationShell::stopRunAndQuit() {
    quitPending_ = true;
    if (!model_.installRun()->isRunning()) {
        Q_EMIT quitApproved();
        return;
    }
    model_.installRun()->cancelRun();
}

} // namespace cairnmoor
