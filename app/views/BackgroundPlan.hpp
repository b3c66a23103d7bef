#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"
#include "install/InstallPlan.hpp"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cairnmoor {

class InstallEngine;

// Takes a plan (the inventory and the apps found outside the manager; nothing that
// changes the Mac) on a thread of its own, so that the window never waits for the
// manager. Only the latest request counts: a new one, or stop(), cancels the survey in
// progress and drops its answer. Lives on the UI thread, owned by `context`.
class BackgroundPlan {
public:
    // What to do on the UI thread with a finished survey.
    using Finish = std::function<void()>;
    // Called on the survey's thread with the plan, or with none and the error that
    // stopped it; the heavy part of digesting the plan belongs here. The Finish it
    // returns runs on the UI thread, and only while this survey is still the latest.
    using Digest = std::function<Finish(std::optional<std::vector<PlannedEntry>> plan,
                                        const std::string& error)>;

    explicit BackgroundPlan(QObject& context);
    // Cancels what still runs and waits for it.
    ~BackgroundPlan();
    BackgroundPlan(const BackgroundPlan&) = delete;
    BackgroundPlan& operator=(const BackgroundPlan&) = delete;

    void start(std::vector<AppEntry> apps, InstallOptions options, std::string managerPath,
               Digest digest);
    void stop();
    // A survey was started and its answer has not been handled yet.
    bool busy() const { return busy_; }

private:
    struct Task {
        std::thread thread;
        std::shared_ptr<InstallEngine> engine;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Joins the tasks that have ended; a cancelled survey may still be stopping its
    // command, and the UI thread does not wait for that.
    void reap();

    QObject& context_;
    std::vector<Task> tasks_;
    std::uint64_t latest_ = 0;
    bool busy_ = false;
};

} // namespace cairnmoor
