#include "managers/process/TerminalLoan.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace cairnmoor::process {
namespace {

// Sent to the group while this thread takes it too, the stop could be taken by another of
// our threads a moment after kill returns, while this one went on to find the terminal
// still ours, hand it to the child and wake it; stopped behind the shell's back, the
// child would meet the terminal again and stop the job a second time after `fg`. Held
// back from this thread while it is sent, the signal is taken here as it is let through
// again, unless another thread took it first, and then the stop reaches this thread on
// its way back from the kernel. Either way it comes before this thread goes on.
void sendStopToOurGroup() {
    sigset_t stop;
    sigset_t saved;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    ::pthread_sigmask(SIG_BLOCK, &stop, &saved);
    ::kill(0, SIGTSTP);
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

} // namespace

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
    sendStopToOurGroup();
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
