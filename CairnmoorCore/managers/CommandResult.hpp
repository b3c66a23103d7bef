#pragma once

#include <cstdint>

namespace cairnmoor {

// How a child process ended. A non-zero exit, a time-out or a cancel is a result, not an error.
struct CommandResult {
    std::int32_t exitCode = 0;
    bool timedOut = false;
    bool cancelled = false;

    bool succeeded() const { return exitCode == 0 && !timedOut && !cancelled; }

    bool operator==(const CommandResult&) const = default;
};

} // namespace cairnmoor
