#include "platform/RunningApps.hpp"

#import <AppKit/AppKit.h>
#include <libproc.h>

namespace cairnmoor {

std::vector<RunningApps::Process> RunningApps::processes() const {
    std::vector<Process> found;
    // The count grows between the two calls when processes start; room for some more.
    const int count = proc_listallpids(nullptr, 0);
    if (count <= 0) {
        return found;
    }
    std::vector<pid_t> pids(static_cast<std::size_t>(count) + 64);
    const int listed = proc_listallpids(pids.data(), static_cast<int>(pids.size() * sizeof(pid_t)));
    for (int i = 0; i < listed && i < static_cast<int>(pids.size()); ++i) {
        char path[PROC_PIDPATHINFO_MAXSIZE];
        if (pids[i] > 0 && proc_pidpath(pids[i], path, sizeof path) > 0) {
            found.push_back(Process{pids[i], path});
        }
    }
    return found;
}

bool RunningApps::askToQuit(pid_t pid) const {
    @autoreleasepool {
        NSRunningApplication* app =
            [NSRunningApplication runningApplicationWithProcessIdentifier:pid];
        // The standard quit request: the app may ask about unsaved work, or refuse.
        return app != nil && [app terminate];
    }
}

} // namespace cairnmoor
