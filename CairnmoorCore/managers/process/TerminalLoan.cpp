#include "managers/process/TerminalLoan.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace cairnmoor::process {

void TerminalLoan::open(bool share) {
    posix::FileDescriptor terminal(
        posix::retryOnInterrupt([] { return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC); }));
    elsewhere_ = static_cast<bool>(terminal);
    if (share && terminal && ::tcgetpgrp(terminal.get()) == ::getpgrp()) {
        terminal_ = std::move(terminal);
        elsewhere_ = false;
    }
}

void TerminalLoan::blockStopOnTerminalCalls(sigset_t* saved) {
    sigset_t ttou;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    ::pthread_sigmask(SIG_BLOCK, &ttou, saved);
}

void TerminalLoan::lendTo(pid_t group) {
    // Restored when the terminal is taken back.
    blockStopOnTerminalCalls(&savedMask_);
    lent_ = true;
    ::tcsetpgrp(terminal_.get(), group);
    // The child may have met the terminal before it was its own and been stopped.
    ::kill(-group, SIGCONT);
}

void TerminalLoan::takeBack() {
    if (!lent_) {
        return;
    }
    lent_ = false;
    // After `bg` the shell holds the terminal, and keeps it.
    if (inFront_) {
        ::tcsetpgrp(terminal_.get(), ::getpgrp());
    }
    ::pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
}

bool TerminalLoan::suspendJob(pid_t group, int stopSignal) {
    const int terminal = terminal_.get();
    if (::tcgetpgrp(terminal) == group) {
        ::tcsetpgrp(terminal, ::getpgrp());
    }
    // Nothing stops when the launcher ignores SIGTSTP or our group is orphaned:
    // nobody could continue us, so the child goes straight on.
    ::kill(0, SIGTSTP);
    inFront_ = ::tcgetpgrp(terminal) == ::getpgrp();
    if (inFront_) {
        ::tcsetpgrp(terminal, group);
    } else if (stopSignal != SIGTSTP) {
        return false;
    }
    ::kill(-group, SIGCONT);
    return true;
}

} // namespace cairnmoor::process
