#pragma once

#include "install/PackageState.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command-line face: help, version and headless profile installs.
namespace cairnmoor::CLI {

// "Cairnmoor <version>" and the usage text.
const std::string& helpText();

// A status means: exit with it. None means: start the window. An install run that is
// interrupted by SIGINT, SIGTERM, SIGHUP or SIGQUIT stops its package manager, reports
// as usual and returns 128 plus the signal number.
std::optional<std::int32_t> run(const std::vector<std::string>& arguments);

// The text in double quotes, with backslash escapes for quotes, backslashes and
// control characters, so that a message cannot break or restyle a progress line.
std::string stringLiteral(std::string_view text);

// Text from a file or a child as it may reach the terminal: control characters other
// than tab escaped as in stringLiteral (so nothing can clear the screen, move the
// cursor or forge a line), bytes that are not UTF-8 shown as U+FFFD.
std::string displayText(std::string_view text);

// How a progress line shows a state: its case name; a failure as failed("message").
std::string stateText(const PackageState& state);

} // namespace cairnmoor::CLI
