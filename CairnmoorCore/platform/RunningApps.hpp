#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cairnmoor {

// The processes running from app bundles, and asking an app to quit as its user would.
// The default looks at the real system (macOS: the process table; Linux: /proc/*/exe);
// tests substitute their own to stand for apps that will not quit.
class RunningApps {
public:
    struct Process {
        pid_t pid = 0;
        std::filesystem::path executable;

        bool operator==(const Process&) const = default;
    };

    virtual ~RunningApps() = default;

    // Every process whose executable path can be read.
    virtual std::vector<Process> processes() const;
    // Asks the app to quit the way quitting it from its menu would, so that it can ask
    // about unsaved work (macOS: NSRunningApplication terminate, never a signal; Linux,
    // which has no such request, SIGTERM, what a session sends at logout). False when
    // the request could not be sent.
    virtual bool askToQuit(pid_t pid) const;

    // The processes whose executable lies inside one of the bundles.
    std::vector<Process> inside(const std::vector<std::filesystem::path>& bundles) const;
    // The bundles with at least one process running from inside them, in their order.
    std::vector<std::filesystem::path>
    open(const std::vector<std::filesystem::path>& bundles) const;

    // Asks each app among the bundles to quit, then waits until no process is left
    // inside them, up to `limit`, checking every `interval`, and giving up early when
    // `stop` says so. Returns the bundles still running (empty: all quit).
    std::vector<std::filesystem::path>
    quit(const std::vector<std::filesystem::path>& bundles, std::chrono::milliseconds limit,
         const std::function<bool()>& stop,
         std::chrono::milliseconds interval = std::chrono::milliseconds(100)) const;

    static const RunningApps& system();
};

} // namespace cairnmoor
