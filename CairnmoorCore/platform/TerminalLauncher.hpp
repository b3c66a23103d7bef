#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// Hands a saved script to the platform's terminal application, which then owns the run.
namespace cairnmoor::TerminalLauncher {

inline constexpr const char* terminalApplicationPath =
    "/System/Applications/Utilities/Terminal.app";

// Called once when the platform has answered: none on success, otherwise the text to
// show the user. It runs on a thread of the launcher's own, never the caller's.
using Completion = std::function<void(const std::optional<std::string>& error)>;

// Asks the platform to open the file with Terminal and returns at once.
void open(const std::filesystem::path& script, Completion completion);

} // namespace cairnmoor::TerminalLauncher
