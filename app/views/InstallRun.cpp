#include "views/InstallRun.hpp"

#include "install/InstallEngine.hpp"
#include "install/InstallLog.hpp"
#include "platform/FileManager.hpp"
#include "platform/ProcessInfo.hpp"
#include "views/RunProgressState.hpp"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <exception>
#include <mutex>
#include <utility>

namespace cairnmoor {

namespace {

// A new log file for the run, where one can be made.
std::optional<std::filesystem::path> createLogFile() {
    try {
        const FileManager& fileManager = FileManager::defaultManager();
        std::filesystem::path path = InstallLog::path(
            ProcessInfo::hostName(), std::chrono::system_clock::now(), fileManager);
        try {
            InstallLog::createParentDirectory(path, fileManager);
        } catch (const std::exception&) {
            // The file cannot be made either; its lines are then lost silently.
        }
        try {
            path = InstallLog::createFile(path);
        } catch (const std::exception&) {
            // Keep the location: later appends fail silently, as a lost line would.
        }
        return path;
    } catch (const std::exception&) {
        // No location at all: the run goes on without a log file.
        return std::nullopt;
    }
}

} // namespace

// Log lines waiting for the UI thread. The engine's threads append; the UI takes the
// whole batch in one flush. At most one flush is posted at a time, so a flood of lines
// costs the UI thread one event per batch, not one per line.
struct InstallRun::LogBuffer {
    std::mutex mutex;
    std::vector<QString> pending;
    bool flushPosted = false;
};

InstallRun::InstallRun(const Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock), runRowModel_(this), logLineModel_(this) {
    logFlushTimer_.setSingleShot(true);
    logFlushTimer_.setTimerType(Qt::PreciseTimer);
    connect(&logFlushTimer_, &QTimer::timeout, this, [this]() {
        if (const std::shared_ptr<LogBuffer> buffer = std::move(delayedFlush_)) {
            requestLogFlush(buffer);
        }
    });
}

InstallRun::~InstallRun() {
    // The worker posts to this object; it must be gone before the object is. Stopping
    // the run is what ending the window would do to it anyway (its output pipe closes).
    openAppsQuestion_.withdraw();
    if (isRunning_ && engine_) {
        engine_->cancel();
    }
    joinRunThreads();
}

void InstallRun::joinRunThreads() {
    if (runTask_.joinable()) {
        runTask_.join();
    }
    for (std::thread& task : cancelTasks_) {
        if (task.joinable()) {
            task.join();
        }
    }
    cancelTasks_.clear();
}

void InstallRun::begin(std::vector<AppEntry> apps, const InstallOptions& options,
                       const std::string& managerPath, std::set<std::string> approvedReplacements) {
    std::vector<RunRow> rows;
    rows.reserve(apps.size());
    for (const AppEntry& app : apps) {
        rows.push_back(RunRow{app, PackageState::pending(), std::nullopt, std::nullopt, false,
                              false, std::string()});
    }
    // The previous run's task has posted its completion, so it is ending or ended.
    joinRunThreads();

    runRowModel_.setRows(std::move(rows));
    logLineModel_.clear();
    cancelled_ = false;
    setOverallProgress(0);
    setRunFinished(false);
    setIsRunning(true);
    Q_EMIT headlineChanged();

    // A cask that runs an installer asks for an administrator password: here, through the
    // run's own channel to the password dialog.
    ProcessRunner::Settings settings;
    std::string noPasswords;
    try {
        settings.environment = passwordPrompt_.beginRun();
    } catch (const std::exception& error) {
        noPasswords = "Administrator passwords cannot be asked for in this run (" +
                      std::string(error.what()) + ").";
    }
    openAppsQuestion_.reset();
    auto engine = std::make_shared<InstallEngine>(settings);
    engine_ = engine;
    auto buffer = std::make_shared<LogBuffer>();

    // The task never touches this object: it posts to it, and each posted unit checks
    // the weak reference on the UI thread. The destructor waits for the task, so the
    // post target is alive whenever a post is made.
    QObject* target = this;
    QPointer<InstallRun> weak(this);
    const auto post = [target](auto unit) {
        QMetaObject::invokeMethod(target, std::move(unit), Qt::QueuedConnection);
    };
    // Withdrawn before the task is waited for, so the task never waits on it for good.
    OpenAppsQuestion* question = &openAppsQuestion_;
    runTask_ = std::thread([post, weak, engine, buffer, options, apps = std::move(apps),
                            managerPath, approved = std::move(approvedReplacements), noPasswords,
                            question]() {
        auto state = std::make_shared<RunProgressState>(static_cast<std::int64_t>(apps.size()));
        if (options.writeLog) {
            state->setLogPath(createLogFile());
        }
        // The manager's last error line of the package being installed, for its row: the
        // engine reports the package, then its output, then how it ended; the output may
        // come from the runner's reading thread.
        std::mutex errorMutex;
        std::string installing;
        std::string lastError;
        const auto onProgress = [&](const std::string& id, const PackageState& packageState) {
            std::string detail;
            {
                std::lock_guard guard(errorMutex);
                if (packageState.kind == PackageState::Kind::installing) {
                    installing = id;
                    lastError.clear();
                } else if (packageState.kind == PackageState::Kind::failed && id == installing) {
                    detail = lastError;
                }
            }
            post([weak, id, packageState, detail = std::move(detail)]() mutable {
                if (weak) {
                    weak->applyProgress(id, packageState, std::move(detail));
                }
            });
        };
        const auto onLog = [&](const std::string& line) {
            if (line.starts_with("Error:")) {
                std::lock_guard guard(errorMutex);
                lastError = line;
            }
            state->appendLog(line);
            QString text = QString::fromStdString(line);
            bool postFlush = false;
            {
                std::lock_guard guard(buffer->mutex);
                buffer->pending.push_back(std::move(text));
                postFlush = !buffer->flushPosted;
                buffer->flushPosted = true;
            }
            if (postFlush) {
                post([weak, buffer]() {
                    if (weak) {
                        weak->requestLogFlush(buffer);
                    }
                });
            }
        };
        if (!noPasswords.empty()) {
            onLog(noPasswords);
        }
        // The rows show the plan before the first command; posted first, it arrives first.
        const auto onPlan = [&](const std::vector<PlannedEntry>& plan) {
            post([weak, plan]() {
                if (weak) {
                    weak->runRowModel_.setPlan(plan);
                }
            });
        };
        const std::vector<PackageResult> results =
            engine->run(apps, options, managerPath,
                        {onProgress, onLog, onPlan,
                         [question](const auto& plan) { return question->ask(plan); }},
                        approved);
        // Only a cancel skips packages; say so where the user reads what happened.
        const auto skipped = std::count_if(results.begin(), results.end(), [](const auto& r) {
            return r.state == PackageState::skipped();
        });
        if (skipped > 0) {
            onLog("Run cancelled: " + std::to_string(skipped) +
                  (skipped == 1 ? " package was" : " packages were") + " skipped.");
        }
        post([weak, buffer, logPath = state->logPath()]() {
            if (weak) {
                weak->flushLog(*buffer, weak->clock_.now());
                weak->completeRun(logPath);
            }
        });
    });
    Q_EMIT runStarted();
}

void InstallRun::setIsRunning(bool value) {
    isRunning_ = value;
    Q_EMIT isRunningChanged();
}

void InstallRun::setRunFinished(bool value) {
    runFinished_ = value;
    Q_EMIT runFinishedChanged();
}

void InstallRun::setOverallProgress(double value) {
    overallProgress_ = value;
    Q_EMIT overallProgressChanged();
}

void InstallRun::applyProgress(const std::string& id, const PackageState& state,
                               std::string detail) {
    const bool downloading = state.kind == PackageState::Kind::downloading;
    (void)runRowModel_.setState(id, state, std::move(detail));
    if (state.kind == PackageState::Kind::installing) {
        for (const RunRow& row : runRowModel_.rows()) {
            if (row.id() == id) {
                passwordPrompt_.setCurrentApp(QString::fromStdString(row.app.name));
            }
        }
    }
    if (state.isFinal()) {
        setOverallProgress(workedFraction());
    }
    Q_EMIT downloadProgressChanged();
    if (downloading || state.kind == PackageState::Kind::installing) {
        Q_EMIT headlineChanged();
    }
}

double InstallRun::workedFraction() const {
    return runRowModel_.count() == 0 ? 0.0
                                     : static_cast<double>(runRowModel_.workedCount()) /
                                           static_cast<double>(runRowModel_.count());
}

int InstallRun::succeeded() const {
    return runRowModel_.outcomes().present();
}

double InstallRun::downloadProgress() const {
    return runRowModel_.count() == 0 ? 0.0
                                     : static_cast<double>(runRowModel_.fetchedCount()) /
                                           static_cast<double>(runRowModel_.count());
}

QString InstallRun::outcome() const {
    if (isRunning_ || !runFinished_) {
        return QStringLiteral("running");
    }
    if (cancelled_) {
        return QStringLiteral("cancelled");
    }
    const OutcomeCounts counts = runRowModel_.outcomes();
    if (counts[PackageState::Kind::failed] == 0 && counts.total() > 0 &&
        runRowModel_.workedCount() == counts.total()) {
        return QStringLiteral("done");
    }
    return counts.present() == 0 ? QStringLiteral("failed") : QStringLiteral("partial");
}

QString InstallRun::headline() const {
    const auto& rows = runRowModel_.rows();
    const int total = static_cast<int>(rows.size());
    if (isRunning_ || !runFinished_) {
        const bool started =
            std::any_of(rows.begin(), rows.end(), [](const RunRow& row) { return row.started; });
        return !started && std::any_of(rows.begin(), rows.end(),
                                       [](const RunRow& row) {
                                           return row.state.kind == PackageState::Kind::downloading;
                                       })
                   ? QStringLiteral("Downloading selected apps")
                   : QStringLiteral("Installing selected apps");
    }
    const OutcomeCounts counts = runRowModel_.outcomes();
    const int installed = counts.present();
    const int failed = counts[PackageState::Kind::failed];
    if (cancelled_) {
        return installed == 0
                   ? QStringLiteral("Cancelled")
                   : QStringLiteral("Cancelled: installed %1 of %2").arg(installed).arg(total);
    }
    if (installed == 0) {
        return failed == 0 ? QStringLiteral("Nothing installed")
                           : QStringLiteral("Nothing installed: %1 failed").arg(failed);
    }
    return QStringLiteral("Installed %1 of %2").arg(installed).arg(total);
}

void InstallRun::requestLogFlush(const std::shared_ptr<LogBuffer>& buffer) {
    const Clock::TimePoint now = clock_.now();
    const auto sinceLast = lastLogFlush_ ? now - *lastLogFlush_ : logFlushInterval;
    if (sinceLast >= logFlushInterval) {
        flushLog(*buffer, now);
        return;
    }
    // The buffer keeps its flush marked as posted, so the engine's threads post nothing
    // more until this timer has taken the lines. The timer asks the clock again.
    delayedFlush_ = buffer;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(logFlushInterval - sinceLast);
    logFlushTimer_.start(wait);
}

void InstallRun::flushLog(LogBuffer& buffer, Clock::TimePoint now) {
    lastLogFlush_ = now;
    std::vector<QString> lines;
    {
        std::lock_guard guard(buffer.mutex);
        lines.swap(buffer.pending);
        buffer.flushPosted = false;
    }
    logLineModel_.append(std::move(lines));
}

void InstallRun::completeRun(std::optional<std::filesystem::path> logPath) {
    passwordPrompt_.endRun();
    logFlushTimer_.stop();
    delayedFlush_.reset();
    setIsRunning(false);
    setRunFinished(true);
    // Where the work stopped, not full: a cancel or a failure of the whole run left the
    // rest undone.
    setOverallProgress(workedFraction());
    Q_EMIT headlineChanged();
    lastLogPath_ = std::move(logPath);
    Q_EMIT lastLogPathChanged();
    Q_EMIT runCompleted();
}

void InstallRun::cancelRun() {
    if (!engine_) {
        return;
    }
    if (isRunning_ && !cancelled_) {
        cancelled_ = true;
        Q_EMIT headlineChanged();
    }
    openAppsQuestion_.withdraw();
    // cancel() may wait out the runner's grace period; the UI thread must not.
    cancelTasks_.emplace_back([engine = engine_]() { engine->cancel(); });
}

QString InstallRun::lastLogPathText() const {
    return lastLogPath_ ? QString::fromStdString(lastLogPath_->string()) : QString();
}

} // namespace cairnmoor
