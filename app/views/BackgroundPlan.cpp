#include "views/BackgroundPlan.hpp"

#include "install/InstallEngine.hpp"

#include <QMetaObject>
#include <QPointer>

#include <exception>
#include <utility>

namespace cairnmoor {

BackgroundPlan::BackgroundPlan(QObject& context) : context_(context) {}

BackgroundPlan::~BackgroundPlan() {
    for (Task& task : tasks_) {
        task.engine->cancel();
    }
    for (Task& task : tasks_) {
        task.thread.join();
    }
}

void BackgroundPlan::stop() {
    ++latest_;
    busy_ = false;
    for (Task& task : tasks_) {
        task.engine->cancel();
    }
}

void BackgroundPlan::reap() {
    std::erase_if(tasks_, [](Task& task) {
        if (!task.done->load()) {
            return false;
        }
        task.thread.join();
        return true;
    });
}

void BackgroundPlan::start(std::vector<AppEntry> apps, InstallOptions options,
                           std::string managerPath, Digest digest) {
    stop();
    reap();
    busy_ = true;
    const std::uint64_t survey = latest_;
    auto engine = std::make_shared<InstallEngine>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    // The thread posts to the context, which owns this object: the destructor joins the
    // thread first, so the context is alive whenever a post is made, and the posted
    // unit runs only while it still is.
    QObject* target = &context_;
    QPointer<QObject> weak(target);
    std::thread thread([this, target, weak, survey, engine, done, apps = std::move(apps),
                        options = std::move(options), managerPath = std::move(managerPath),
                        digest = std::move(digest)]() {
        std::optional<std::vector<PlannedEntry>> plan;
        std::string error;
        try {
            plan = engine->plan(apps, options, managerPath, {});
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        Finish finish = digest(std::move(plan), error);
        QMetaObject::invokeMethod(
            target,
            [this, weak, survey, finish = std::move(finish)]() {
                if (weak && survey == latest_) {
                    busy_ = false;
                    finish();
                }
            },
            Qt::QueuedConnection);
        done->store(true);
    });
    tasks_.push_back(Task{std::move(thread), std::move(engine), std::move(done)});
}

} // namespace cairnmoor
