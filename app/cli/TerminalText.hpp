#pragma once

#include "install/PackageState.hpp"

#include <string>
#include <string_view>

// Text as the command line shows it on a terminal.
namespace cairnmoor::CLI {

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
