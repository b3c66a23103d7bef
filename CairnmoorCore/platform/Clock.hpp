#pragma once

#include <chrono>

namespace cairnmoor {

// Where time-dependent code reads the time. It takes the clock it is given, so a test sets
// the time instead of waiting for it or racing it.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;

    // The machine's monotonic clock.
    static const Clock& steady() {
        struct Steady final : Clock {
            TimePoint now() const override { return std::chrono::steady_clock::now(); }
        };
        static const Steady clock;
        return clock;
    }
};

} // namespace cairnmoor
