#pragma once

#include "platform/Clock.hpp"

namespace cairnmoor::testing {

// A clock that moves on by `step` at every reading, so time-dependent code sees exactly
// the times a test chose, however loaded the machine.
struct StepClock final : Clock {
    explicit StepClock(Clock::TimePoint::duration step) : step(step) {}
    TimePoint now() const override { return last += step; }

    Clock::TimePoint::duration step;
    mutable TimePoint last{};
};

} // namespace cairnmoor::testing
