#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"
#include "platform/Clock.hpp"
#include "views/LogLineModel.hpp"
#include "views/OpenAppsQuestion.hpp"
#include "views/PasswordPrompt.hpp"
#include "views/RunRowModel.hpp"

#include <QObject>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace cairnmoor {

class InstallEngine;

// The in-window Homebrew run: its rows and log, the progress bar, completion and cancel.
// The engine runs on a thread of its own and only posts to this object; every property is
// read and written on the UI thread. Log lines reach the view at most once a frame by the
// clock it is given: a flood of output must not keep the UI thread busy inserting rows.
class InstallRun : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(double overallProgress READ overallProgress NOTIFY overallProgressChanged)
    Q_PROPERTY(bool runFinished READ runFinished NOTIFY runFinishedChanged)
    // The packages whose download ahead is over, as a fraction: the bar's download phase.
    Q_PROPERTY(double downloadProgress READ downloadProgress NOTIFY downloadProgressChanged)
    // What the run sheet's title says: what is going on, then what happened ("Installed
    // 21 of 23", "Cancelled", "Nothing installed: 3 failed").
    Q_PROPERTY(QString headline READ headline NOTIFY headlineChanged)
    // "running", "done", "partial" (some failed), "failed" (nothing installed), "cancelled".
    Q_PROPERTY(QString outcome READ outcome NOTIFY headlineChanged)
    // The last finished run's log file; empty when none was written.
    Q_PROPERTY(QString lastLogPath READ lastLogPathText NOTIFY lastLogPathChanged)
    // List models for virtualised views (owned by this object, never replaced).
    Q_PROPERTY(cairnmoor::RunRowModel* runRows READ runRowModel CONSTANT)
    Q_PROPERTY(cairnmoor::LogLineModel* logLines READ logLineModel CONSTANT)
    // The administrator password dialog of the run.
    Q_PROPERTY(cairnmoor::PasswordPrompt* passwordPrompt READ passwordPrompt CONSTANT)
    // The question about open apps the run would touch, before it changes anything.
    Q_PROPERTY(cairnmoor::OpenAppsQuestion* openAppsQuestion READ openAppsQuestion CONSTANT)

public:
    // About one frame.
    static constexpr std::chrono::milliseconds logFlushInterval{16};

    // `clock` outlives the run.
    explicit InstallRun(const Clock& clock = Clock::steady(), QObject* parent = nullptr);
    // A run still going is cancelled and waited for: nothing of it outlives this object.
    ~InstallRun() override;
    InstallRun(const InstallRun&) = delete;
    InstallRun& operator=(const InstallRun&) = delete;

    // Starts a run of these entries (the rows show them at once). `approvedReplacements`:
    // the apps the user agreed to have replaced; the run replaces no other.
    void begin(std::vector<AppEntry> apps, const InstallOptions& options,
               const std::string& managerPath, std::set<std::string> approvedReplacements);
    // Asks the running engine to stop, off the UI thread (the stop may take a moment).
    // No engine: nothing happens.
    Q_INVOKABLE void cancelRun();

    bool isRunning() const { return isRunning_; }
    double overallProgress() const { return overallProgress_; }
    bool runFinished() const { return runFinished_; }
    double downloadProgress() const;
    QString headline() const;
    QString outcome() const;
    const std::optional<std::filesystem::path>& lastLogPath() const { return lastLogPath_; }
    QString lastLogPathText() const;
    const std::vector<RunRow>& runRows() const { return runRowModel_.rows(); }
    const std::deque<QString>& logLines() const { return logLineModel_.lines(); }
    RunRowModel* runRowModel() { return &runRowModel_; }
    LogLineModel* logLineModel() { return &logLineModel_; }
    PasswordPrompt* passwordPrompt() { return &passwordPrompt_; }
    OpenAppsQuestion* openAppsQuestion() { return &openAppsQuestion_; }

Q_SIGNALS:
    void isRunningChanged();
    void overallProgressChanged();
    void runFinishedChanged();
    void lastLogPathChanged();
    void headlineChanged();
    void downloadProgressChanged();
    // A run has started (its rows are in place).
    void runStarted();
    // The completion step of a run has finished (after runFinished and lastLogPath).
    void runCompleted();

private:
    struct LogBuffer;

    void setIsRunning(bool value);
    void setRunFinished(bool value);
    void setOverallProgress(double value);
    void applyProgress(const std::string& id, const PackageState& state, std::string detail);
    // Packages the run has reached and ended, as a fraction: the bar stays where the work
    // stopped (a cancel or a failure of the whole run fills nothing).
    double workedFraction() const;
    // Packages that ended installed, already present or installed outside Homebrew.
    int succeeded() const;
    void requestLogFlush(const std::shared_ptr<LogBuffer>& buffer);
    void flushLog(LogBuffer& buffer, Clock::TimePoint now);
    void completeRun(std::optional<std::filesystem::path> logPath);
    void joinRunThreads();

    const Clock& clock_;
    bool isRunning_ = false;
    double overallProgress_ = 0;
    bool runFinished_ = false;
    bool cancelled_ = false;
    std::optional<std::filesystem::path> lastLogPath_;
    RunRowModel runRowModel_;
    LogLineModel logLineModel_;
    PasswordPrompt passwordPrompt_;
    OpenAppsQuestion openAppsQuestion_;

    // The engine of the current or last run (kept so the run can be cancelled).
    std::shared_ptr<InstallEngine> engine_;
    QTimer logFlushTimer_;
    std::optional<Clock::TimePoint> lastLogFlush_;
    std::shared_ptr<LogBuffer> delayedFlush_;
    std::thread runTask_;
    std::vector<std::thread> cancelTasks_;
};

} // namespace cairnmoor
