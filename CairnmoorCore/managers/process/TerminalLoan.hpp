#pragma once

#include "platform/Posix.hpp"

#include <signal.h>
#include <sys/types.h>

namespace cairnmoor::process {

// The controlling terminal while this process is its foreground job, lent to one
// child's process group for the length of its command, as a shell does.
class TerminalLoan {
public:
    TerminalLoan() = default;
    TerminalLoan(const TerminalLoan&) = delete;
    TerminalLoan& operator=(const TerminalLoan&) = delete;
    ~TerminalLoan() { takeBack(); }

    // Holds the terminal when asked to share it and this process is in its foreground
    // right now; otherwise notes whether there is one at all.
    void open(bool share);
    bool held() const { return static_cast<bool>(terminal_); }

    // For the calling thread: tcsetpgrp from a background group, or a write under `stty
    // tostop`, would otherwise stop the whole process with SIGTTOU.
    static void blockStopOnTerminalCalls(sigset_t* saved);

    // A terminal the child must be kept from: it then gets a session of its own. Without
    // any terminal a process group will do, and costs less to make.
    bool elsewhere() const { return elsewhere_; }

    void lendTo(pid_t group);

    void takeBack();

    // The child's group was stopped by the terminal (Ctrl-Z, or a read while we are in
    // the background). The person means the job, which is us: stop our own group as
    // the shell would have, and once the shell continues us, give the terminal back if
    // we are in front and wake the child. From the thread that waits for the child,
    // with SIGTTOU blocked; returns false when the child must stay stopped (we could
    // not stop and are still behind, so it would only stop again).
    bool suspendJob(pid_t group, int stopSignal);

private:
    posix::FileDescriptor terminal_;
    bool elsewhere_ = false;
    bool lent_ = false;
    bool inFront_ = true;
    sigset_t savedMask_{};
};

} // namespace cairnmoor::process
