#include "views/RunProgressState.hpp"

#include "install/InstallLog.hpp"

#include <algorithm>

namespace cairnmoor {

RunProgressState::RunProgressState(std::int64_t total) : total_(std::max<std::int64_t>(total, 1)) {}

std::int64_t RunProgressState::completed() const {
    std::lock_guard guard(lock_);
    return completed_;
}

std::optional<std::filesystem::path> RunProgressState::logURL() const {
    std::lock_guard guard(lock_);
    return logURL_;
}

void RunProgressState::setLogURL(std::optional<std::filesystem::path> url) {
    std::lock_guard guard(lock_);
    logURL_ = std::move(url);
}

double RunProgressState::completeOne() {
    std::lock_guard guard(lock_);
    ++completed_;
    return static_cast<double>(completed_) / static_cast<double>(total_);
}

void RunProgressState::appendLog(std::string_view line) const {
    const auto url = logURL();
    if (!url) {
        return;
    }
    // A line that cannot be written is lost from the file only; it still reaches the
    // window, and the next line tries again.
    (void)InstallLog::appendLine(*url, line);
}

} // namespace cairnmoor
