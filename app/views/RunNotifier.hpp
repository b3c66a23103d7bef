#pragma once

#include "platform/Clock.hpp"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

namespace cairnmoor {

class CairnmoorViewModel;

// Tells the user that a long run has ended while the window was not in front: a
// notification with the outcome, and on macOS the Dock's badge until the window is
// active again. A short run, or one watched to its end, needs neither.
class RunNotifier : public QObject {
    Q_OBJECT

public:
    using Poster = std::function<void(const QString& title, const QString& body)>;
    // An empty label takes the badge away.
    using Badge = std::function<void(const QString& label)>;

    // Runs at least this long are worth a notification.
    static constexpr std::chrono::seconds longRun{60};

    struct Platform {
        const Clock& clock = Clock::steady();
        Poster post; // default: DesktopNotification::post
        Badge badge; // default: DesktopNotification::setBadge
    };

    // `inFront`: whether the user is looking at the window now.
    RunNotifier(CairnmoorViewModel& model, std::function<bool()> inFront,
                QObject* parent = nullptr);
    RunNotifier(CairnmoorViewModel& model, std::function<bool()> inFront, Platform platform,
                QObject* parent = nullptr);

    // The user came back to the window: the badge has been seen.
    void windowActivated();

private:
    void runEnded();

    CairnmoorViewModel& model_;
    std::function<bool()> inFront_;
    Platform platform_;
    Clock::TimePoint started_;
    bool badged_ = false;
};

} // namespace cairnmoor
