#pragma once

#include "cli/Arguments.hpp"

#include <cstdint>

// A profile (or a Brewfile) run without a window, from its file to the status: the
// report from the first moment on, the manager and who runs it, the catalogue and the
// selection, then the install, or the plan alone for --dry-run and --check.
namespace cairnmoor::ProfileCommand {

std::int32_t run(const Arguments& arguments);

} // namespace cairnmoor::ProfileCommand
