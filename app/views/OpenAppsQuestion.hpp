#pragma once

#include "install/InstallOptions.hpp"
#include "install/InstallPlan.hpp"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

namespace cairnmoor {

// Before a window run changes anything: when apps it would upgrade, adopt or replace are
// open, the person is asked, the apps named: quit them and go on, skip them this time, or
// cancel the run. The engine's thread waits for the answer; the UI thread gives it.
class OpenAppsQuestion : public QObject {
    Q_OBJECT
    // The question to answer; empty when there is none.
    Q_PROPERTY(QString question READ question NOTIFY changed)

public:
    enum Choice { quitThem = 0, skipThem = 1, cancelRun = 2 };
    Q_ENUM(Choice)

    explicit OpenAppsQuestion(QObject* parent = nullptr) : QObject(parent) {}

    QString question() const { return question_; }

    // UI thread, before a run starts: questions may be asked again.
    void reset();
    // From the engine's thread: shows the question and waits for the answer; none means
    // cancel. Once withdrawn, answers at once with none.
    std::optional<RunningAppPolicy> ask(const std::vector<PlannedEntry>& plan);
    // UI thread.
    Q_INVOKABLE void answer(int choice);
    // Any thread: the run is being stopped; a question open or still to come is cancelled.
    void withdraw();

    // "Firefox.app is open. Ask it to quit and go on, or leave it for the next run?"
    static QString questionFor(const std::vector<PlannedEntry>& plan);

Q_SIGNALS:
    void changed();

private:
    void show(const QString& text);

    std::mutex lock_;
    std::condition_variable answered_;
    std::optional<int> choice_;
    bool withdrawn_ = false;
    QString question_; // UI thread only
};

} // namespace cairnmoor
