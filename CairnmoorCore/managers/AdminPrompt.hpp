#pragma once

#include <string_view>

// A package that asks for an administrator password (a cask that installs a .pkg runs
// sudo) fails at once when there is no terminal to ask on; these lines tell that
// failure apart from the package's own, so the message can say what to do.
namespace cairnmoor::AdminPrompt {

// True for sudo's own words for "a password was needed and could not be asked for".
bool isRefusal(std::string_view line);

// When sudo could ask (a password channel of the window's) but got no right answer: the
// note for a failed package's message ("the administrator password was not given"), or
// empty for any other line.
std::string_view unansweredNote(std::string_view line);

// Added to a failed package's message when its output held such a line.
inline constexpr std::string_view failureNote =
    " (it needed an administrator password and had no terminal to ask for it: run "
    "Cairnmoor in a terminal, or install this package by hand)";

} // namespace cairnmoor::AdminPrompt
