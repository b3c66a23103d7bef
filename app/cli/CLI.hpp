#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command-line face: help, version, capture and headless profile installs.
namespace cairnmoor::CLI {

// A status means: exit with it. None means: start the window. An install run that is
// interrupted by SIGINT, SIGTERM, SIGHUP or SIGQUIT stops its package manager, reports
// as usual and returns 128 plus the signal number.
std::optional<std::int32_t> run(const std::vector<std::string>& arguments);

} // namespace cairnmoor::CLI
