// The child's side of starting a command as another account: what runs between fork and
// exec. Another thread may have held a lock (the allocator's among them) at the fork, so
// from the fork to the exec only async-signal-safe calls are made: nothing here
// allocates, locks or throws, and all it needs was prepared before the fork.

#include "managers/process/PostFork.hpp"

#include "platform/Posix.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor::process {

namespace {

struct SystemCalls {
    static int setgroups(int count, const gid_t* groups) { return ::setgroups(count, groups); }
    static int setgid(gid_t gid) { return ::setgid(gid); }
    static int setuid(uid_t uid) { return ::setuid(uid); }
};

} // namespace

std::vector<gid_t> accountGroups(gid_t primary, std::vector<gid_t> found, std::size_t limit) {
    std::erase(found, primary);
    found.insert(found.begin(), primary);
    if (limit > 0 && found.size() > limit) {
        found.resize(limit);
    }
    return found;
}

AccountSpawn::AccountSpawn(const Account& account)
    : uid_(account.uid), gid_(account.gid), home_(account.home.string()) {
    const long limit = ::sysconf(_SC_NGROUPS_MAX);
    groups_ = accountGroups(gid_, account.groups, limit > 0 ? static_cast<std::size_t>(limit) : 0);
    const long open = ::sysconf(_SC_OPEN_MAX);
    openMax_ = open > 0 && open < INT_MAX ? static_cast<int>(open) : 65536;
}

int AccountSpawn::start(pid_t& processId, const char* path, char* const argv[], char* const envp[],
                        int output, int errorOutput, bool withTerminal, bool newSession) {
    posix::FileDescriptor reportRead;
    posix::FileDescriptor reportWrite;
    if (!posix::makeCloseOnExecPipe(reportRead, reportWrite) ||
        !posix::keepAboveStandardDescriptors(reportWrite)) {
        return errno;
    }
    // Nothing may be handled in the child before its handlers are reset.
    sigset_t all;
    sigset_t saved;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &saved);
    const pid_t child = ::fork();
    if (child == 0) {
        childSide(reportWrite.get(), path, argv, envp, output, errorOutput, withTerminal,
                  newSession);
    }
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    if (child < 0) {
        return forkError;
    }
    reportWrite.close();
    // End of file: the exec happened. Otherwise the child's error number.
    int childError = 0;
    const ssize_t count = posix::retryOnInterrupt(
        [&] { return ::read(reportRead.get(), &childError, sizeof childError); });
    if (count == static_cast<ssize_t>(sizeof childError)) {
        int status = 0;
        posix::retryOnInterrupt([&] { return ::waitpid(child, &status, 0); });
        return childError != 0 ? childError : ECHILD;
    }
    processId = child;
    return 0;
}

[[noreturn]] void AccountSpawn::childSide(int report, const char* path, char* const argv[],
                                          char* const envp[], int output, int errorOutput,
                                          bool withTerminal, bool newSession) {
    const auto fail = [report] {
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
        ::_exit(127);
    };
    // Handlers are ours, not the child's; what we ignore stays ignored, as with
    // posix_spawn, except the signals the spawn path resets as well.
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        struct sigaction current {};
        if (::sigaction(signalNumber, nullptr, &current) != 0) {
            continue;
        }
        const bool reset = signalNumber == SIGPIPE || signalNumber == SIGXFSZ ||
                           signalNumber == SIGTTOU || current.sa_handler != SIG_IGN;
        if (reset && current.sa_handler != SIG_DFL) {
            struct sigaction byDefault {};
            byDefault.sa_handler = SIG_DFL;
            sigemptyset(&byDefault.sa_mask);
            ::sigaction(signalNumber, &byDefault, nullptr);
        }
    }
    if ((newSession ? ::setsid() : ::setpgid(0, 0)) < 0) {
        fail();
    }
    if (!withTerminal) {
        const int input = ::open("/dev/null", O_RDONLY);
        if (input < 0 || (input != STDIN_FILENO && ::dup2(input, STDIN_FILENO) < 0)) {
            fail();
        }
        if (input != STDIN_FILENO) {
            ::close(input);
        }
    }
    if (::dup2(output, STDOUT_FILENO) < 0 || ::dup2(errorOutput, STDERR_FILENO) < 0) {
        fail();
    }
    // Descriptors other code opened without close-on-exec stay out of the child.
    int closeBelow = openMax_;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    const auto last = static_cast<unsigned>(report);
    if ((last == STDERR_FILENO + 1 || ::close_range(STDERR_FILENO + 1, last - 1, 0) == 0) &&
        ::close_range(last + 1, ~0U, 0) == 0) {
        closeBelow = 0;
    }
#endif
    for (int fd = STDERR_FILENO + 1; fd < closeBelow; ++fd) {
        if (fd != report) {
            ::close(fd);
        }
    }
    SystemCalls calls;
    if (!becomeAccount(calls, groups_, gid_, uid_)) {
        fail();
    }
    if (::chdir(home_.c_str()) != 0 && ::chdir("/") != 0) {
        fail();
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(path, argv, envp);
    fail();
    ::_exit(127);
}

} // namespace cairnmoor::process
