#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// `Cairnmoor --capture FILE [--manager homebrew|macports]`: this Mac's packages as a
// profile, to install the same on another Mac with --profile.
namespace cairnmoor::CaptureCommand {

// None when --capture was not asked for. Status 0 when the profile was written; 1 when the
// manager, its inventory or the file failed; 2 for a usage error. An existing file is never
// replaced: the profile then goes to the first free "-2", "-3", ... name beside it.
std::optional<std::int32_t> run(const std::vector<std::string>& arguments);

} // namespace cairnmoor::CaptureCommand
