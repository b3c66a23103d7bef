#include "cli/Console.hpp"

#include "platform/Posix.hpp"

#include <cstdio>
#include <mutex>
#include <string>
#include <unistd.h>

namespace cairnmoor::Console {

namespace {

std::mutex& outputLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

void printLine(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text);
    line.push_back('\n');
    const std::lock_guard guard(outputLock());
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void writeError(std::string_view text) {
    const std::lock_guard guard(outputLock());
    while (!text.empty()) {
        const ssize_t written = posix::retryOnInterrupt(
            [&] { return ::write(STDERR_FILENO, text.data(), text.size()); });
        if (written <= 0) {
            return; // nowhere left to report to
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace cairnmoor::Console
