#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>

namespace cairnmoor {

// The counters and log-file location shared between an in-window run and the engine's
// callbacks, which arrive on the engine's threads.
class RunProgressState {
public:
    // `total` is raised to 1 so the fraction is always defined.
    explicit RunProgressState(std::int64_t total);
    RunProgressState(const RunProgressState&) = delete;
    RunProgressState& operator=(const RunProgressState&) = delete;

    std::optional<std::filesystem::path> logPath() const;
    void setLogPath(std::optional<std::filesystem::path> path);

    // Counts one more package in a final state; returns completed / total.
    double completeOne();
    // Appends the line to the log file, when there is one; a failed write loses only
    // that line from the file.
    void appendLog(std::string_view line) const;

private:
    mutable std::mutex lock_;
    const std::int64_t total_;
    std::int64_t completed_ = 0;
    std::optional<std::filesystem::path> logPath_;
};

} // namespace cairnmoor
