#include "platform/ProcessInfo.hpp"

#include <climits>
#include <unistd.h>

extern char** environ;

namespace cairnmoor::ProcessInfo {

std::map<std::string, std::string> environment() {
    std::map<std::string, std::string> result;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        // The first definition wins, as getenv(3) does.
        result.try_emplace(text.substr(0, equals), text.substr(equals + 1));
    }
    return result;
}

std::string hostName() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) {
        return {};
    }
    return std::string(buffer);
}

} // namespace cairnmoor::ProcessInfo
