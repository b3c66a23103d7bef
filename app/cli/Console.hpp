#pragma once

#include <string_view>

// The terminal the command line talks to. Install callbacks arrive from two threads,
// so every line goes out whole, in one write, under one lock.
namespace cairnmoor::Console {

// Writes the text and a line feed to standard output and flushes it, so that progress
// shows up at once even when the output is a pipe or a file.
void printLine(std::string_view text);

// Writes exactly these bytes to standard error, unbuffered.
void writeError(std::string_view text);

} // namespace cairnmoor::Console
