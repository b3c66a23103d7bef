#include "views/OpenAppsQuestion.hpp"

#include <QMetaObject>
#include <QPointer>

namespace cairnmoor {

QString OpenAppsQuestion::questionFor(const std::vector<PlannedEntry>& plan) {
    std::vector<std::string> open;
    for (const PlannedEntry& entry : plan) {
        open.insert(open.end(), entry.runningApps.begin(), entry.runningApps.end());
    }
    const QString names = QString::fromStdString(InstallPlan::bundleNames(open));
    if (open.size() == 1) {
        return names + QStringLiteral(" is open. Ask it to quit and go on, or leave it for the "
                                      "next run?");
    }
    return names + QStringLiteral(" are open. Ask them to quit and go on, or leave them for the "
                                  "next run?");
}

void OpenAppsQuestion::reset() {
    std::lock_guard guard(lock_);
    withdrawn_ = false;
    choice_.reset();
}

void OpenAppsQuestion::show(const QString& text) {
    QPointer<OpenAppsQuestion> weak(this);
    QMetaObject::invokeMethod(
        this,
        [weak, text] {
            if (weak) {
                weak->question_ = text;
                Q_EMIT weak->changed();
            }
        },
        Qt::QueuedConnection);
}

std::optional<RunningAppPolicy> OpenAppsQuestion::ask(const std::vector<PlannedEntry>& plan) {
    std::unique_lock guard(lock_);
    if (withdrawn_) {
        return std::nullopt;
    }
    choice_.reset();
    show(questionFor(plan));
    answered_.wait(guard, [this] { return choice_.has_value(); });
    const int choice = *choice_;
    guard.unlock();
    show({});
    if (choice == quitThem) {
        return RunningAppPolicy::quit;
    }
    if (choice == skipThem) {
        return RunningAppPolicy::skip;
    }
    return std::nullopt;
}

void OpenAppsQuestion::answer(int choice) {
    {
        std::lock_guard guard(lock_);
        if (choice_ || question_.isEmpty()) {
            return;
        }
        choice_ = choice == quitThem || choice == skipThem ? choice : cancelRun;
    }
    answered_.notify_all();
}

void OpenAppsQuestion::withdraw() {
    {
        std::lock_guard guard(lock_);
        withdrawn_ = true;
        if (!choice_) {
            choice_ = cancelRun;
        }
    }
    answered_.notify_all();
}

} // namespace cairnmoor
