#include "views/ApplicationShell.hpp"

#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

namespace cairnmoor {

ApplicationShell::ApplicationShell(CairnmoorViewModel& model, WindowActions& actions,
                                   QObject* parent)
    : QObject(parent), model_(model), actions_(actions),
      engine_(std::make_unique<QQmlApplicationEngine>()) {
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
                    }
                });
    }
}

ApplicationShell::~ApplicationShell() = default;

bool ApplicationShell::load() {
    engine_->setInitialProperties({
        {QStringLiteral("viewModel"), QVariant::fromValue(static_cast<QObject*>(&model_))},
        {QStringLiteral("actions"), QVariant::fromValue(static_cast<QObject*>(&actions_))},
        {QStringLiteral("identity"), QVariant::fromValue(static_cast<QObject*>(&identity_))},
        {QStringLiteral("catalogueCards"), QVariant::fromValue(static_cast<QObject*>(&cards_))},
    });
    engine_->load(QUrl(QString::fromUtf8(mainQml)));
    return window() != nullptr;
}

QQuickWindow* ApplicationShell::window() const {
    const QList<QObject*> roots = engine_->rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
}

} // namespace cairnmoor
