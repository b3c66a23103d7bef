#pragma once

#include "install/PackageResult.hpp"
#include "install/RunReport.hpp"
#include "platform/Clock.hpp"
#include "platform/OutputFolder.hpp"

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cairnmoor {

// The --report file of one headless run. It is replaced whole each time, so a reader
// never sees half a report: before the first command (which also proves the place is
// writable before anything changes), after the plan, after each app's final state and at
// the end. Its folder is opened once, at the first write, and every write goes through
// that descriptor (OutputFolder). Without a path it writes nothing. Every call is safe
// from any thread.
class ReportWriter {
public:
    // Durations are read from `clock`.
    ReportWriter(std::optional<std::filesystem::path> path, RunReport report,
                 const Clock& clock = Clock::steady());

    bool wanted() const { return path_.has_value(); }
    const std::filesystem::path& path() const { return *path_; }

    // Changes the report without writing it.
    void change(const std::function<void(RunReport&)>& edit);
    // Writes the report as it stands, creating missing folders. Throws FileError.
    void write();

    // The engine's observers: each writes the report when something became known;
    // a failed write is said once on standard error and the run goes on.
    void plan(const std::vector<PlannedEntry>& plan);
    void progress(const std::string& id, const PackageState& state);

    // The last write. False, after saying why on standard error, when it failed.
    bool finish(RunReport::Outcome outcome, const std::vector<PackageResult>& results, int status,
                int signalNumber);
    // A run that stopped before its first command, and why.
    void notStarted(const std::string& error, int status);

private:
    RunReport::App* find(const std::string& id);
    // Under lock_. The first throws FileError, the second says why on standard error.
    void writeNow();
    bool writeLocked(bool quietAfterFailure);

    const std::optional<std::filesystem::path> path_;
    std::optional<OutputFolder> folder_;
    std::mutex lock_;
    RunReport report_;
    const Clock& clock_;
    std::map<std::string, Clock::TimePoint> begun_;
    bool failureSaid_ = false;
};

} // namespace cairnmoor
