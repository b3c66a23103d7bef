#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cairnmoor {

// How a child process ended. A non-zero exit, a time-out or a cancel is a result, not an error.
struct CommandResult {
    std::int32_t exitCode = 0;
    bool timedOut = false;
    bool cancelled = false;

    bool succeeded() const { return exitCode == 0 && !timedOut && !cancelled; }
    // Why a command beside the installs did not do its work, for the log: `timedOutText`,
    // "EXECUTABLE exited with status N", or empty when it succeeded or was cancelled.
    std::string failure(std::string_view executable, std::string_view timedOutText) const {
        if (timedOut) {
            return std::string(timedOutText);
        }
        if (cancelled || exitCode == 0) {
            return {};
        }
        return std::string(executable) + " exited with status " + std::to_string(exitCode);
    }

    bool operator==(const CommandResult&) const = default;
};

} // namespace cairnmoor
