#pragma once

#include <csignal>
#include <functional>
#include <thread>

namespace cairnmoor {

// While it watches, SIGINT, SIGTERM, SIGHUP and SIGQUIT no longer end the process. A
// signal that was ignored when we were started (nohup, a script's background job)
// stays ignored, as shells do. The signal handler only notes the signal and writes one
// byte to a pipe; a thread of the watcher reads it and calls `onInterrupt` there, once,
// for the first signal. Only one watcher may be active at a time.
class InterruptWatcher {
public:
    using Handler = std::function<void(int signalNumber)>;

    // Throws std::system_error when the pipe or the handlers cannot be set up.
    explicit InterruptWatcher(Handler onInterrupt);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    enum class After { asBefore, ignored };
    // Puts back the handling that was in place before (or, once the work is over and
    // only the exit is left, ignores the signals, so none can cut the end short) and
    // ends the thread. Safe to call more than once.
    void stop(After after = After::asBefore);
    // The first signal caught while watching, or 0.
    int signalNumber() const;

private:
    void watch();

    Handler onInterrupt_;
    struct sigaction previous_[4];
    bool watching_[4] = {};
    std::thread thread_;
    bool active_ = false;
};

} // namespace cairnmoor
