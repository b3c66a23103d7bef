#pragma once

#include <cstdint>

// The command line's own statuses; 128 + N after signal N.
namespace cairnmoor::ExitStatus {

constexpr std::int32_t failure = 1;
constexpr std::int32_t usage = 2;

} // namespace cairnmoor::ExitStatus
