#pragma once

#include "cli/Arguments.hpp"

#include <cstdint>

// `Cairnmoor --capture FILE [--manager homebrew|macports]`: this Mac's packages as a
// profile, to install the same on another Mac with --profile. As root, Homebrew runs as
// the owner of `brew`, as for an install.
namespace cairnmoor::CaptureCommand {

// Status 0 when the profile was written; 1 when the manager, its inventory or the file
// failed; 2 for an unknown manager. An existing file is never replaced: the profile then
// goes to the first free "-2", "-3", ... name beside it.
std::int32_t run(const Arguments& arguments);

} // namespace cairnmoor::CaptureCommand
