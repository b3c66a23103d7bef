#pragma once

#include "managers/CommandResult.hpp"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace cairnmoor {

// Runs one package-manager command at a time as a child in its own process group,
// streams its merged output line by line, enforces a time limit, and can be cancelled
// from any thread. A cancel is for good: every later run returns at once as cancelled.
class ProcessRunner {
public:
    using OutputHandler = std::function<void(const std::string& line)>;

    ProcessRunner();
    ~ProcessRunner();
    ProcessRunner(const ProcessRunner&) = delete;
    ProcessRunner& operator=(const ProcessRunner&) = delete;

    // Blocks until the child has exited. `timeout` in seconds; 0, negative or NaN
    // mean no limit. `onOutput` may be called from another thread, never from two at
    // once. Throws CommandError::cannotLaunch when the child cannot be started.
    CommandResult run(const std::string& executable, const std::vector<std::string>& arguments,
                      double timeout, const OutputHandler& onOutput = {});
    // Stops the run in progress (SIGTERM to its group, SIGKILL after half a second)
    // and every later one. May block for the grace period.
    void cancel();
    bool isCancelled() const;

private:
    class Run;

    // Guards everything below. The child is unregistered before it is reaped, so a
    // cancel never signals a process identifier that may have been reused.
    mutable std::mutex lock_;
    bool didCancel_ = false;
    bool running_ = false;
    int processId_ = -1; // the child of the run in progress; -1 while idle
    int wakeFd_ = -1;    // wakes the run's loop on cancel; -1 while idle
};

} // namespace cairnmoor
