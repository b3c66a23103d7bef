#include "views/RunProgressState.hpp"

#include "install/InstallLog.hpp"

#include <algorithm>

namespace cairnmoor {

RunProgressState::RunProgressState(std::int64_t total) : total_(std::max<std::int64_t>(total, 1)) {}

std::optional<std::filesystem::path> RunProgressState::logPath() const {
    std::lock_guard guard(lock_);
    return logPath_;
}

void RunProgressState::setLogPath(std::optional<std::filesystem::path> path) {
    std::lock_guard guard(lock_);
    logPath_ = std::move(path);
}

double RunProgressState::completeOne() {
    std::lock_guard guard(lock_);
    ++completed_;
    return static_cast<double>(completed_) / static_cast<double>(total_);
}

void RunProgressState::appendLog(std::string_view line) const {
    const auto path = logPath();
    if (!path) {
        return;
    }
    // A line that cannot be written is lost from the file only; it still reaches the
    // window, and the next line tries again.
    (void)InstallLog::appendLine(*path, line);
}

} // namespace cairnmoor
