#include "platform/ProcessInfo.hpp"

#include <unistd.h>
#include <vector>

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
    // The limit is a run-time value (macOS has no compile-time constant for it); when the
    // system will not say, 255 is the least POSIX lets any system support.
    const long limit = ::sysconf(_SC_HOST_NAME_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(limit > 0 ? limit : 255) + 1, '\0');
    // One byte short of the buffer, so a name cut at the limit still ends in NUL.
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0) {
        return {};
    }
    return std::string(buffer.data());
}

} // namespace cairnmoor::ProcessInfo
