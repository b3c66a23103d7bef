#include "platform/RunningApps.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <limits.h>
#include <memory>
#include <unistd.h>

namespace cairnmoor {

std::vector<RunningApps::Process> RunningApps::processes() const {
    std::vector<Process> found;
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc) {
        return found;
    }
    while (const dirent* item = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(item->d_name, &end, 10);
        if (end == item->d_name || *end != '\0' || pid <= 0) {
            continue;
        }
        const std::string link = std::string("/proc/") + item->d_name + "/exe";
        char target[PATH_MAX];
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
        // Other users' processes and kernel threads cannot be read: not ours to touch.
        if (length <= 0) {
            continue;
        }
        std::string executable(target, static_cast<std::size_t>(length));
        // An executable replaced on disk while running reads "... (deleted)".
        if (constexpr std::string_view deleted = " (deleted)"; executable.ends_with(deleted)) {
            executable.resize(executable.size() - deleted.size());
        }
        found.push_back(Process{static_cast<pid_t>(pid), std::move(executable)});
    }
    return found;
}

bool RunningApps::askToQuit(pid_t pid) const {
    return pid > 0 && ::kill(pid, SIGTERM) == 0;
}

} // namespace cairnmoor
