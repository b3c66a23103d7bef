#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command-line face: help, version and headless profile installs.
namespace cairnmoor::CLI {

// "Cairnmoor <version>" and the usage text.
const std::string& helpText();

// A status means: exit with it. None means: start the window.
std::optional<std::int32_t> run(const std::vector<std::string>& arguments);

} // namespace cairnmoor::CLI
