#include "managers/ArgumentSpace.hpp"

#include <climits>
#include <unistd.h>

extern char** environ;

namespace cairnmoor::ArgumentSpace {

std::size_t cost(std::string_view text) {
    return text.size() + 1 + sizeof(char*);
}

std::size_t available(const std::vector<std::pair<std::string, std::string>>& added) {
    const long limit = ::sysconf(_SC_ARG_MAX);
    std::size_t space = limit > 0 ? static_cast<std::size_t>(limit) : _POSIX_ARG_MAX;
    // An eighth is kept back: Homebrew's launcher passes the names on with arguments and
    // variables of its own.
    std::size_t taken = space / 8 + sizeof(char*);
    for (char** variable = environ; variable && *variable; ++variable) {
        taken += cost(*variable);
    }
    for (const auto& [name, value] : added) {
        taken += cost(name) + value.size() + 1;
    }
    return space > taken ? space - taken : 0;
}

std::vector<std::vector<std::string>> split(const std::vector<std::string>& fixed,
                                            const std::vector<std::string>& names,
                                            std::size_t space) {
    std::size_t base = sizeof(char*);
    for (const std::string& argument : fixed) {
        base += cost(argument);
    }
    std::vector<std::vector<std::string>> runs;
    std::size_t used = 0;
    for (const std::string& name : names) {
        if (runs.empty() || base + used + cost(name) > space) {
            runs.emplace_back();
            used = 0;
        }
        runs.back().push_back(name);
        used += cost(name);
    }
    return runs;
}

} // namespace cairnmoor::ArgumentSpace
