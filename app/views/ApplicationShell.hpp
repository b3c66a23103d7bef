#pragma once

#include "views/AppIdentity.hpp"
#include "views/CatalogueCardModel.hpp"

#include <QList>
#include <QObject>
#include <QQmlError>
#include <QStringList>

#include <memory>

class QQmlApplicationEngine;
class QQuickWindow;

namespace cairnmoor {

class CairnmoorViewModel;
class WindowActions;

// The one main window over one view model: loads the QML views, hands them the model,
// the file actions and the build identity, and refreshes the located managers whenever
// the application becomes active again.
class ApplicationShell : public QObject {
    Q_OBJECT

public:
    static constexpr const char* mainQml = "qrc:/cairnmoor/qml/Main.qml";

    ApplicationShell(CairnmoorViewModel& model, WindowActions& actions, QObject* parent = nullptr);
    ~ApplicationShell() override;

    // Loads the window; false when the views could not be created (see `errors()`).
    bool load();
    QQuickWindow* window() const;
    QQmlApplicationEngine& engine() const { return *engine_; }
    // Every warning and error the QML engine reported so far.
    QStringList errors() const { return errors_; }

private:
    CairnmoorViewModel& model_;
    WindowActions& actions_;
    AppIdentity identity_;
    CatalogueCardModel cards_;
    std::unique_ptr<QQmlApplicationEngine> engine_;
    QStringList errors_;
};

} // namespace cairnmoor
