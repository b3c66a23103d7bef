#pragma once

#include "views/AppIdentity.hpp"
#include "views/CatalogueCardModel.hpp"
#include "views/RunNotifier.hpp"
#include "views/WindowSettings.hpp"

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
// the file actions, the build identity and what is kept between launches, refreshes the located
// managers whenever the application becomes active again, and keeps a quit from cutting an install
// short.
class ApplicationShell : public QObject {
    Q_OBJECT
    // The platform's global menu bar (macOS) instead of the header's menu button.
    Q_PROPERTY(bool nativeMenuBar READ nativeMenuBar CONSTANT)
    // The content reaches under a hidden title bar, whose buttons the header makes room for.
    Q_PROPERTY(bool hidesTitleBar READ hidesTitleBar CONSTANT)
    // The platform's own file dialogs (macOS); elsewhere the themed Qt Quick ones, which
    // confirm a replacement themselves.
    Q_PROPERTY(bool nativeDialogs READ nativeDialogs CONSTANT)

public:
    static constexpr const char* mainQml = "qrc:/cairnmoor/qml/Main.qml";

    struct Options {
        // Each defaults to whether the platform is macOS's own ("cocoa"); tests force them.
        bool nativeMenuBar = isCocoa();
        bool hidesTitleBar = isCocoa();
        Publisher publisher = Publisher::configured();
    };
    static bool isCocoa();

    ApplicationShell(CairnmoorViewModel& model, WindowActions& actions, QObject* parent = nullptr);
    ApplicationShell(CairnmoorViewModel& model, WindowActions& actions, Options options,
                     QObject* parent = nullptr);
    ~ApplicationShell() override;

    // Loads the window; false when it could not be created (see `failure()`).
    bool load();
    QQuickWindow* window() const;
    QQmlApplicationEngine& engine() const { return *engine_; }
    WindowSettings& settings() { return settings_; }
    // Every warning and error the QML engine reported so far.
    QStringList errors() const { return errors_; }
    // Why load() failed, in one message for the user.
    QString failure() const { return failure_; }

    bool nativeMenuBar() const { return options_.nativeMenuBar; }
    bool hidesTitleBar() const { return options_.hidesTitleBar; }
    bool nativeDialogs() const { return isCocoa(); }

    // The user chose to stop a running install and quit: the run is cancelled, and
    // `quitApproved` follows once it has ended (at once when nothing runs).
    Q_INVOKABLE void stopRunAndQuit();

Q_SIGNALS:
    void quitApproved();

private:
    CairnmoorViewModel& model_;
    WindowActions& actions_;
    Options options_;
    AppIdentity identity_;
    WindowSettings settings_;
    RunNotifier notifier_;
    CatalogueCardModel cards_;
    std::unique_ptr<QQmlApplicationEngine> engine_;
    QStringList errors_;
    QString failure_;
    bool quitPending_ = false;
};

} // namespace cairnmoor
