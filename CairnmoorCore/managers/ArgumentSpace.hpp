#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// How many names fit in one command: the system limits a new program's arguments and
// environment together, and a list of names past it cannot start at all.
namespace cairnmoor::ArgumentSpace {

// What one argument or variable takes of that limit: its bytes, its terminator, its pointer.
std::size_t cost(std::string_view text);

// The bytes a child's executable and arguments may take: the system's limit less this
// process's environment, the `added` variables and a margin for what the manager adds when
// it starts its own programs.
std::size_t available(const std::vector<std::pair<std::string, std::string>>& added);

// `names` in order, in runs that each fit in `space` after `fixed` (the executable and the
// arguments before the names). Every run has at least one name, even one that does not
// fit alone: starting it then says why. No names, no runs. Pure.
std::vector<std::vector<std::string>> split(const std::vector<std::string>& fixed,
                                            const std::vector<std::string>& names,
                                            std::size_t space);

} // namespace cairnmoor::ArgumentSpace
