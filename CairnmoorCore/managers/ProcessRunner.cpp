#include "managers/ProcessRunner.hpp"

#include "managers/CommandError.hpp"
#include "platform/Posix.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <string_view>
#include <sys/types.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace cairnmoor {
namespace {

using Clock = std::chrono::steady_clock;

// A child that ignores SIGTERM gets SIGKILL this long after it.
constexpr auto gracePeriod = std::chrono::milliseconds(500);
// A grandchild that keeps the output pipe open after the child exited is given this
// long to finish writing; then the run returns without it.
constexpr auto drainLimit = std::chrono::seconds(1);
// Output without a line feed is delivered in pieces of at most this many bytes, so a
// child printing without line breaks cannot grow our buffer without bound.
constexpr std::size_t maxPiece = std::size_t{1} << 20;
constexpr std::size_t readChunk = 64 * 1024;
// Reads per loop turn before deadlines are looked at again, so a flood cannot starve them.
constexpr int readsPerTurn = 16;

// The expected length of a UTF-8 sequence starting with `lead` and the range its
// second byte must fall in (no overlong forms, no surrogates, nothing above U+10FFFF);
// 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead, unsigned char& low, unsigned char& high) {
    low = 0x80;
    high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
        return 4;
    }
    return 0;
}

// How many bytes at `p` belong to one well-formed character, or (when it is not one)
// to the longest start of one, which is replaced as a whole: at least 1.
std::size_t characterLength(const unsigned char* p, const unsigned char* end, bool& valid) {
    unsigned char low;
    unsigned char high;
    const std::size_t length = sequenceLength(*p, low, high);
    valid = false;
    if (length == 0 || end - p < 2 || p[1] < low || p[1] > high) {
        return 1;
    }
    std::size_t taken = 2;
    while (taken < length && p + taken < end && (p[taken] & 0xC0) == 0x80) {
        ++taken;
    }
    valid = taken == length;
    return taken;
}

bool isValidUtf8(const unsigned char* p, std::size_t size) {
    const unsigned char* end = p + size;
    while (p < end) {
        // Plain ASCII goes eight bytes at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) != 0) {
                break;
            }
            p += 8;
        }
        if (p == end) {
            break;
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        bool valid;
        p += characterLength(p, end, valid);
        if (!valid) {
            return false;
        }
    }
    return true;
}

// The text with every ill-formed part replaced by U+FFFD, so that nothing a child
// printed disappears without a trace.
void assignRepaired(std::string& out, const unsigned char* p, std::size_t size) {
    out.clear();
    const unsigned char* end = p + size;
    while (p < end) {
        if (*p < 0x80) {
            out.push_back(static_cast<char>(*p++));
            continue;
        }
        bool valid;
        const std::size_t length = characterLength(p, end, valid);
        if (valid) {
            out.append(reinterpret_cast<const char*>(p), length);
        } else {
            out.append("\xEF\xBF\xBD");
        }
        p += length;
    }
}

// The length of the next piece of an over-long line: at most maxPiece bytes, shortened
// so that the cut does not fall inside a UTF-8 sequence.
std::size_t pieceLength(const char* data, std::size_t size) {
    if (size <= maxPiece) {
        return size;
    }
    std::size_t cut = maxPiece;
    for (int back = 0; back < 3 && (static_cast<unsigned char>(data[cut]) & 0xC0) == 0x80; ++back) {
        --cut;
    }
    // Not a character boundary within reach: the bytes are not UTF-8 anyway.
    if ((static_cast<unsigned char>(data[cut]) & 0xC0) == 0x80) {
        cut = maxPiece;
    }
    return cut;
}

// Splits the child's bytes into lines at line feeds and hands each one on.
class LineSplitter {
public:
    explicit LineSplitter(const ProcessRunner::OutputHandler& onOutput) : onOutput_(onOutput) {}

    void append(const char* data, std::size_t size) {
        buffer_.append(data, size);
        std::size_t start = 0;
        for (;;) {
            const void* found =
                std::memchr(buffer_.data() + scanFrom_, '\n', buffer_.size() - scanFrom_);
            if (found == nullptr) {
                break;
            }
            const std::size_t end = static_cast<const char*>(found) - buffer_.data();
            deliverLine(buffer_.data() + start, end - start);
            start = end + 1;
            scanFrom_ = start;
        }
        while (buffer_.size() - start > maxPiece) {
            const std::size_t length = pieceLength(buffer_.data() + start, buffer_.size() - start);
            deliver(buffer_.data() + start, length);
            start += length;
        }
        buffer_.erase(0, start);
        scanFrom_ = buffer_.size();
    }

    // The last line, which had no line feed.
    void finish() {
        if (!buffer_.empty()) {
            deliverLine(buffer_.data(), buffer_.size());
        }
        buffer_.clear();
        scanFrom_ = 0;
    }

private:
    void deliverLine(const char* data, std::size_t size) {
        while (size > maxPiece) {
            const std::size_t length = pieceLength(data, size);
            deliver(data, length);
            data += length;
            size -= length;
        }
        deliver(data, size);
    }

    void deliver(const char* data, std::size_t size) {
        if (!onOutput_) {
            return;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        if (isValidUtf8(bytes, size)) {
            line_.assign(data, size);
        } else {
            assignRepaired(line_, bytes, size);
        }
        onOutput_(line_);
    }

    const ProcessRunner::OutputHandler& onOutput_;
    std::string buffer_;
    std::size_t scanFrom_ = 0;
    std::string line_;
};

// The deadline `seconds` from now, or none. Saturates: a limit beyond what the clock
// can represent means no limit rather than a deadline in the past.
std::optional<Clock::time_point> deadlineAfter(double seconds, Clock::time_point now) {
    if (!(seconds > 0)) {
        return std::nullopt;
    }
    const double room = std::chrono::duration<double>(Clock::time_point::max() - now).count();
    if (seconds >= room - 1.0) {
        return std::nullopt;
    }
    return now +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

int pollTimeout(std::optional<Clock::time_point> wake, Clock::time_point now) {
    if (!wake) {
        return -1;
    }
    if (*wake <= now) {
        return 0;
    }
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
    return static_cast<int>(std::min<long long>(remaining, INT_MAX));
}

// Signals the child's whole process group; the child alone if that fails.
void signalGroup(pid_t processId, int signalNumber) {
    if (::kill(-processId, signalNumber) != 0) {
        ::kill(processId, signalNumber);
    }
}

bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != -1;
}

// Moves a descriptor above the standard three: a pipe end that landed on 1 or 2 (the
// caller had closed its own) would be closed by exec instead of being handed over.
bool keepAboveStandardDescriptors(posix::FileDescriptor& fd) {
    if (fd.get() > STDERR_FILENO) {
        return true;
    }
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) {
        return false;
    }
    fd = posix::FileDescriptor(moved);
    return true;
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return WTERMSIG(status);
    }
    return -1;
}

// Our environment with the settings' variables put in (replacing any of the same name);
// a child running as another account gets that account's HOME, USER and LOGNAME.
class Environment {
public:
    explicit Environment(const ProcessRunner::Settings& settings) {
        std::vector<std::pair<std::string, std::string>> additions;
        if (settings.account) {
            additions = {{"HOME", settings.account->home.string()},
                         {"USER", settings.account->name},
                         {"LOGNAME", settings.account->name}};
        }
        for (const auto& variable : settings.environment) {
            std::erase_if(additions,
                          [&](const auto& added) { return added.first == variable.first; });
            additions.push_back(variable);
        }
        for (const auto& [name, value] : additions) {
            owned_.push_back(name + "=" + value);
        }
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            const std::string_view name = text.substr(0, text.find('='));
            const bool replaced =
                std::any_of(additions.begin(), additions.end(),
                            [&](const auto& added) { return added.first == name; });
            if (!replaced) {
                pointers_.push_back(*entry);
            }
        }
        for (std::string& entry : owned_) {
            pointers_.push_back(entry.data());
        }
        pointers_.push_back(nullptr);
    }

    char* const* get() { return pointers_.data(); }

private:
    std::vector<std::string> owned_;
    std::vector<char*> pointers_;
};

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
    void open(bool share) {
        posix::FileDescriptor terminal(posix::retryOnInterrupt(
            [] { return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC); }));
        elsewhere_ = static_cast<bool>(terminal);
        if (share && terminal && ::tcgetpgrp(terminal.get()) == ::getpgrp()) {
            terminal_ = std::move(terminal);
            elsewhere_ = false;
        }
    }
    bool held() const { return static_cast<bool>(terminal_); }

    // For the calling thread: tcsetpgrp from a background group, or a write under `stty
    // tostop`, would otherwise stop the whole process with SIGTTOU.
    static void blockStopOnTerminalCalls(sigset_t* saved) {
        sigset_t ttou;
        sigemptyset(&ttou);
        sigaddset(&ttou, SIGTTOU);
        ::pthread_sigmask(SIG_BLOCK, &ttou, saved);
    }

    // A terminal the child must be kept from: it then gets a session of its own. Without
    // any terminal a process group will do, and costs less to make.
    bool elsewhere() const { return elsewhere_; }

    void lendTo(pid_t group) {
        // Restored when the terminal is taken back.
        blockStopOnTerminalCalls(&savedMask_);
        lent_ = true;
        ::tcsetpgrp(terminal_.get(), group);
        // The child may have met the terminal before it was its own and been stopped.
        ::kill(-group, SIGCONT);
    }

    void takeBack() {
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

    // The child's group was stopped by the terminal (Ctrl-Z, or a read while we are in
    // the background). The person means the job, which is us: stop our own group as
    // the shell would have, and once the shell continues us, give the terminal back if
    // we are in front and wake the child. From the thread that waits for the child,
    // with SIGTTOU blocked; returns false when the child must stay stopped (we could
    // not stop and are still behind, so it would only stop again).
    bool suspendJob(pid_t group, int stopSignal) {
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

private:
    // Sent to the group while this thread takes it too, the stop could be taken by another of
    // our threads a moment after kill returns, while this one went on to find the terminal
    // still ours, hand it to the child and wake it; stopped behind the shell's back, the
    // child would meet the terminal again and stop the job a second time after `fg`. Held
    // back from this thread while it is sent, the signal is taken here as it is let through
    // again, unless another thread took it first, and then the stop reaches this thread on
    // its way back from the kernel. Either way it comes before this thread goes on.
    static void sendStopToOurGroup() {
        sigset_t stop;
        sigset_t saved;
        sigemptyset(&stop);
        sigaddset(&stop, SIGTSTP);
        ::pthread_sigmask(SIG_BLOCK, &stop, &saved);
        ::kill(0, SIGTSTP);
        ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    }

    posix::FileDescriptor terminal_;
    bool elsewhere_ = false;
    bool lent_ = false;
    bool inFront_ = true;
    sigset_t savedMask_{};
};

// posix_spawn's attribute and file-action objects, destroyed on every path.
struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    bool hasAttributes = false;
    bool hasActions = false;

    ~SpawnSetup() {
        if (hasActions) {
            posix_spawn_file_actions_destroy(&actions);
        }
        if (hasAttributes) {
            posix_spawnattr_destroy(&attributes);
        }
    }

    // The child in a process group of its own (so signals reach everything it starts),
    // in a session of its own when there is a terminal it must be kept from, reading
    // /dev/null unless it shares our terminal. The signals we ignore are back at their
    // defaults and nothing is blocked, whatever this process does with them.
    int prepare(int output, int errorOutput, bool withTerminal, bool newSession) {
        if (int error = posix_spawnattr_init(&attributes); error != 0) {
            return error;
        }
        hasAttributes = true;
        short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
        // A new session is a new process group too; asking for both fails.
        flags |= newSession ? POSIX_SPAWN_SETSID : POSIX_SPAWN_SETPGROUP;
#if defined(__APPLE__) && defined(POSIX_SPAWN_CLOEXEC_DEFAULT)
        // Descriptors other code opened without close-on-exec stay out of the child.
        flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGXFSZ);
        sigaddset(&defaults, SIGTTOU);
        sigset_t unblocked;
        sigemptyset(&unblocked);
        if (int error = posix_spawnattr_setflags(&attributes, flags); error != 0) {
            return error;
        }
        if (int error = posix_spawnattr_setpgroup(&attributes, 0); error != 0) {
            return error;
        }
        if (int error = posix_spawnattr_setsigdefault(&attributes, &defaults); error != 0) {
            return error;
        }
        if (int error = posix_spawnattr_setsigmask(&attributes, &unblocked); error != 0) {
            return error;
        }
        if (int error = posix_spawn_file_actions_init(&actions); error != 0) {
            return error;
        }
        hasActions = true;
        if (withTerminal) {
#if defined(__APPLE__) && defined(POSIX_SPAWN_CLOEXEC_DEFAULT)
            if (int error = posix_spawn_file_actions_addinherit_np(&actions, STDIN_FILENO);
                error != 0) {
                return error;
            }
#endif
        } else if (int error = posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null",
                                                                O_RDONLY, 0);
                   error != 0) {
            return error;
        }
        if (int error = posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
            error != 0) {
            return error;
        }
        if (int error = posix_spawn_file_actions_adddup2(&actions, errorOutput, STDERR_FILENO);
            error != 0) {
            return error;
        }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        if (int error = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
            error != 0) {
            return error;
        }
#endif
        return 0;
    }
};

// posix_spawn cannot change the user, so a child that runs as another account is
// started with fork and exec, set up as SpawnSetup sets up the others. Everything is
// prepared before the fork: between fork and exec the child makes only
// async-signal-safe calls, since another thread may have held a lock at the fork.
class AccountSpawn {
public:
    explicit AccountSpawn(const Account& account)
        : uid_(account.uid), gid_(account.gid), groups_(account.groups),
          home_(account.home.string()) {
        // The kernel takes only so many; the primary group is kept first.
        const long limit = ::sysconf(_SC_NGROUPS_MAX);
        std::erase(groups_, gid_);
        groups_.insert(groups_.begin(), gid_);
        if (limit > 0 && groups_.size() > static_cast<std::size_t>(limit)) {
            groups_.resize(static_cast<std::size_t>(limit));
        }
        const long open = ::sysconf(_SC_OPEN_MAX);
        openMax_ = open > 0 && open < INT_MAX ? static_cast<int>(open) : 65536;
    }

    // Returns 0 with the child's id, or the error number of what failed, in this
    // process or in the child before its exec.
    int start(pid_t& processId, const char* path, char* const argv[], char* const envp[],
              int output, int errorOutput, bool withTerminal, bool newSession) {
        posix::FileDescriptor reportRead;
        posix::FileDescriptor reportWrite;
        if (!posix::makeCloseOnExecPipe(reportRead, reportWrite) ||
            !keepAboveStandardDescriptors(reportWrite)) {
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

private:
    [[noreturn]] void childSide(int report, const char* path, char* const argv[],
                                char* const envp[], int output, int errorOutput, bool withTerminal,
                                bool newSession) {
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
        if (::setgroups(static_cast<int>(groups_.size()), groups_.data()) != 0 ||
            ::setgid(gid_) != 0 || ::setuid(uid_) != 0) {
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

    uid_t uid_;
    gid_t gid_;
    std::vector<gid_t> groups_;
    std::string home_;
    int openMax_;
};

// One output stream of the child: its pipe and its lines.
struct Stream {
    explicit Stream(const ProcessRunner::OutputHandler& onOutput) : lines(onOutput) {}

    posix::FileDescriptor readEnd;
    posix::FileDescriptor writeEnd;
    LineSplitter lines;
    bool eof = false;
};

} // namespace

// The runner's watchdog: one thread for the runner's life (a thread started per command
// was a measurable part of the runner's cost), keeping the time limit and the SIGKILL
// that follows a SIGTERM for the run in progress. It touches a run only under `mutex`
// while the run is `current`, and a run stops being current before it ends.
class ProcessRunner::Timekeeper {
public:
    Timekeeper() : thread_([this] { keepTime(); }) {}
    Timekeeper(const Timekeeper&) = delete;
    Timekeeper& operator=(const Timekeeper&) = delete;
    ~Timekeeper() {
        {
            std::lock_guard guard(mutex);
            stopping_ = true;
        }
        changed.notify_all();
        thread_.join();
    }

    std::mutex mutex;
    std::condition_variable changed;
    Run* current = nullptr; // under mutex

private:
    void keepTime();

    bool stopping_ = false;
    std::thread thread_;
};

// One child process from launch to reaping, on three threads: the caller's reads and
// delivers the output, a waiter notices the exit, and the runner's watchdog keeps the
// time limit and the termination sequence, so that neither depends on a handler returning.
// Whatever happens (a launch failure, an exception from a handler), the destructor
// leaves no child unreaped, no thread of its own running and no descriptor open, and the runner
// idle again.
class ProcessRunner::Run {
public:
    Run(ProcessRunner& runner, Timekeeper& keeper, const OutputHandler& onOutput,
        const OutputHandler& onErrorOutput)
        : runner_(runner), keeper_(keeper), mutex_(keeper.mutex), changed_(keeper.changed),
          output_(onOutput), errorOutput_(onErrorOutput),
          separateErrors_(static_cast<bool>(onErrorOutput)) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    friend class Timekeeper;

    ~Run() {
        if (processId_ > 0 && !reaped_) {
            stopKeepingTime();
            unregister();
            signalGroup(processId_, SIGKILL);
            joinHelpers();
            int status = 0;
            posix::retryOnInterrupt([&] { return ::waitpid(processId_, &status, 0); });
        } else {
            unregister();
            joinHelpers();
        }
    }

    void launch(const std::string& executable, const std::vector<std::string>& arguments) {
        terminal_.open(runner_.settings_.shareTerminal);
        const auto failed = [&] { throw CommandError::cannotLaunch(executable, errno); };
        if (!posix::makeCloseOnExecPipe(output_.readEnd, output_.writeEnd) ||
            !keepAboveStandardDescriptors(output_.writeEnd) ||
            !setNonBlocking(output_.readEnd.get())) {
            failed();
        }
        if (separateErrors_ &&
            (!posix::makeCloseOnExecPipe(errorOutput_.readEnd, errorOutput_.writeEnd) ||
             !keepAboveStandardDescriptors(errorOutput_.writeEnd) ||
             !setNonBlocking(errorOutput_.readEnd.get()))) {
            failed();
        }
        if (!posix::makeCloseOnExecPipe(wakeRead_, wakeWrite_) ||
            !setNonBlocking(wakeRead_.get()) || !setNonBlocking(wakeWrite_.get())) {
            failed();
        }

        std::vector<char*> argv;
        argv.reserve(arguments.size() + 2);
        argv.push_back(const_cast<char*>(executable.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        Environment environment(runner_.settings_);

        pid_t processId = -1;
        const int errorFd = separateErrors_ ? errorOutput_.writeEnd.get() : output_.writeEnd.get();
        if (const std::optional<Account>& account = runner_.settings_.account) {
            if (const int error = AccountSpawn(*account).start(
                    processId, executable.c_str(), argv.data(), environment.get(),
                    output_.writeEnd.get(), errorFd, terminal_.held(), terminal_.elsewhere());
                error != 0) {
                errno = error;
                failed();
            }
        } else {
            SpawnSetup setup;
            if (const int error = setup.prepare(output_.writeEnd.get(), errorFd, terminal_.held(),
                                                terminal_.elsewhere());
                error != 0) {
                errno = error;
                failed();
            }
            if (const int error = ::posix_spawn(&processId, executable.c_str(), &setup.actions,
                                                &setup.attributes, argv.data(), environment.get());
                error != 0) {
                errno = error;
                failed();
            }
        }
        processId_ = processId;
        // Our copies of the writing ends must go, or the pipes would never reach end of file.
        output_.writeEnd.close();
        errorOutput_.writeEnd.close();
        if (terminal_.held()) {
            terminal_.lendTo(processId_);
        }

        bool cancelled;
        {
            std::lock_guard guard(runner_.lock_);
            runner_.active_ = this;
            // A cancel that came after the first check has found nothing to signal yet.
            cancelled = runner_.didCancel_;
        }
        waiter_ = std::thread([this] { awaitExit(); });
        if (cancelled) {
            requestCancel();
        }
    }

    CommandResult wait(double timeout) {
        {
            std::lock_guard guard(mutex_);
            deadline_ = deadlineAfter(timeout, Clock::now());
            keeper_.current = this;
        }
        changed_.notify_all();

        std::optional<Clock::time_point> drainUntil;
        for (;;) {
            const Clock::time_point now = Clock::now();
            const bool exited = exitSeen_.load(std::memory_order_acquire);
            if (exited && !drainUntil) {
                drainUntil = now + drainLimit;
            }
            if (exited && (allRead() || now >= *drainUntil)) {
                break;
            }

            pollfd fds[3] = {
                {wakeRead_.get(), POLLIN, 0},
                {output_.eof ? -1 : output_.readEnd.get(), POLLIN, 0},
                {errorOutput_.eof || !separateErrors_ ? -1 : errorOutput_.readEnd.get(), POLLIN,
                 0}};
            const int ready = ::poll(fds, 3, pollTimeout(drainUntil, now));
            if (ready < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    continue;
                }
                throw std::system_error(errno, std::generic_category(), "poll");
            }
            if ((fds[0].revents & POLLIN) != 0) {
                drainWakeups();
            }
            constexpr short readable = POLLIN | POLLHUP | POLLERR | POLLNVAL;
            if (!output_.eof && (fds[1].revents & readable) != 0) {
                output_.eof = readOutput(output_);
            }
            if (separateErrors_ && !errorOutput_.eof && (fds[2].revents & readable) != 0) {
                errorOutput_.eof = readOutput(errorOutput_);
            }
            outputClosed_.store(allRead(), std::memory_order_release);
        }

        output_.lines.finish();
        errorOutput_.lines.finish();
        bool timedOut;
        bool cancelled;
        {
            std::lock_guard guard(mutex_);
            keeper_.current = nullptr;
            // After a stop, whatever is left of the group goes too (something the child
            // started, holding the pipe or forked just as the SIGTERM went out), while the
            // group cannot have been reused: the child is not reaped yet.
            if (terminating_ && !killSent_) {
                signalGroup(processId_, SIGKILL);
            }
            timedOut = timedOut_;
            cancelled = cancelled_;
        }
        changed_.notify_all();
        unregister();
        joinHelpers();
        int status = 0;
        const pid_t reapedId =
            posix::retryOnInterrupt([&] { return ::waitpid(processId_, &status, 0); });
        reaped_ = true;
        terminal_.takeBack();
        // Someone else reaped it (SIGCHLD ignored by the host): the status is unknown.
        if (reapedId != processId_) {
            return CommandResult{-1, timedOut, cancelled};
        }
        if (const int interrupt = interruptTypedAtTerminal(status, timedOut || cancelled)) {
            // The person pressed Ctrl-C (or Ctrl-\) at the terminal the child held: the
            // whole run is interrupted, as a shell would take it, and we pass it on.
            {
                std::lock_guard guard(runner_.lock_);
                runner_.didCancel_ = true;
            }
            ::raise(interrupt);
            return CommandResult{exitCodeOf(status), false, true};
        }
        return CommandResult{exitCodeOf(status), timedOut, cancelled};
    }

    // From ProcessRunner::cancel, under the runner's lock.
    void requestCancel() {
        {
            std::lock_guard guard(mutex_);
            if (exited_) {
                return; // its status alone decides the result
            }
            cancelled_ = true;
            if (!terminating_) {
                beginTermination(Clock::now());
            }
        }
        changed_.notify_all();
    }

private:
    // Waits until the child has ended without reaping it: while it is unreaped its
    // identifier and process group cannot be reused, so signals stay safe.
    void awaitExit() {
        // Only a child on the terminal we lent it can be stopped from there.
        const bool jobControl = terminal_.held();
        if (jobControl) {
            TerminalLoan::blockStopOnTerminalCalls(nullptr);
        }
        const auto pid = static_cast<id_t>(processId_);
        for (;;) {
            siginfo_t info;
            std::memset(&info, 0, sizeof info);
            const int options = WEXITED | WNOWAIT | (jobControl ? WSTOPPED : 0);
            if (posix::retryOnInterrupt([&] { return ::waitid(P_PID, pid, &info, options); }) !=
                    0 ||
                info.si_code != CLD_STOPPED) {
                break;
            }
            // Take this stop's report, or the next wait would return it again.
            siginfo_t stop;
            std::memset(&stop, 0, sizeof stop);
            posix::retryOnInterrupt(
                [&] { return ::waitid(P_PID, pid, &stop, WSTOPPED | WNOHANG); });
            followStop(info.si_status);
        }
        {
            // The watchdog need not wake for this: when its time comes it finds the exit.
            std::lock_guard guard(mutex_);
            exited_ = true;
        }
        exitSeen_.store(true, std::memory_order_release);
        const char byte = 'x';
        posix::retryOnInterrupt([&] { return ::write(wakeWrite_.get(), &byte, 1); });
    }

    void followStop(int stopSignal) {
        if (stopSignal != SIGTSTP && stopSignal != SIGTTIN && stopSignal != SIGTTOU) {
            return; // stopped on purpose by someone else: theirs to continue
        }
        const Clock::time_point stoppedAt = Clock::now();
        {
            std::lock_guard guard(mutex_);
            if (terminating_) {
                return; // the SIGTERM went with a SIGCONT
            }
            suspended_ = true;
        }
        const bool resumed = terminal_.suspendJob(processId_, stopSignal);
        {
            std::lock_guard guard(mutex_);
            suspended_ = false;
            // Time spent suspended by the person does not count against the package.
            if (resumed && deadline_) {
                *deadline_ += Clock::now() - stoppedAt;
            }
        }
        changed_.notify_all();
    }

    // From the watchdog, under mutex_: the deadline and the SIGKILL that follows a
    // SIGTERM. Returns when to look again; none until told.
    std::optional<Clock::time_point> keepTime(Clock::time_point now) {
        if (!terminating_ && !exited_ && !suspended_ && deadline_ && now >= *deadline_) {
            timedOut_ = true;
            beginTermination(now);
        }
        if (terminating_ && !killSent_ && now >= killAt_) {
            // The child, or something it started, is still holding on.
            if (!exited_ || !outputClosed_.load(std::memory_order_acquire)) {
                signalGroup(processId_, SIGKILL);
            }
            killSent_ = true;
        }
        if (!terminating_ && !exited_ && !suspended_ && deadline_) {
            return *deadline_;
        }
        if (terminating_ && !killSent_) {
            return killAt_;
        }
        return std::nullopt;
    }

    // Under mutex_.
    void beginTermination(Clock::time_point now) {
        signalGroup(processId_, SIGTERM);
        // A stopped child (Ctrl-Z, or a read from a terminal it does not own) could
        // not act on the SIGTERM until it runs again.
        signalGroup(processId_, SIGCONT);
        terminating_ = true;
        killAt_ = now + gracePeriod;
    }

    // The signal typed at the terminal the child held, when that is how it ended.
    int interruptTypedAtTerminal(int status, bool stoppedByUs) const {
        if (!terminal_.held() || stoppedByUs || !WIFSIGNALED(status)) {
            return 0;
        }
        const int signalNumber = WTERMSIG(status);
        return signalNumber == SIGINT || signalNumber == SIGQUIT ? signalNumber : 0;
    }

    // True at end of file (or when the pipe can no longer be read).
    bool readOutput(Stream& stream) {
        // On the heap: background threads on macOS get small stacks.
        if (chunk_.empty()) {
            chunk_.resize(readChunk);
        }
        char* chunk = chunk_.data();
        for (int turn = 0; turn < readsPerTurn; ++turn) {
            const ssize_t count = posix::retryOnInterrupt(
                [&] { return ::read(stream.readEnd.get(), chunk, readChunk); });
            if (count > 0) {
                stream.lines.append(chunk, static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return false;
            }
            return true;
        }
        return false;
    }

    bool allRead() const { return output_.eof && (!separateErrors_ || errorOutput_.eof); }

    void drainWakeups() {
        char bytes[64];
        while (posix::retryOnInterrupt(
                   [&] { return ::read(wakeRead_.get(), bytes, sizeof bytes); }) > 0) {
        }
    }

    void unregister() {
        std::lock_guard guard(runner_.lock_);
        if (runner_.active_ == this) {
            runner_.active_ = nullptr;
        }
    }

    void stopKeepingTime() {
        {
            std::lock_guard guard(mutex_);
            if (keeper_.current == this) {
                keeper_.current = nullptr;
            }
        }
        changed_.notify_all();
    }

    void joinHelpers() {
        stopKeepingTime();
        if (waiter_.joinable()) {
            waiter_.join();
        }
    }

    ProcessRunner& runner_;
    Timekeeper& keeper_;
    // The watchdog's: shared by the three threads.
    std::mutex& mutex_;
    std::condition_variable& changed_;
    Stream output_;
    Stream errorOutput_;
    const bool separateErrors_;
    TerminalLoan terminal_;
    std::vector<char> chunk_;
    posix::FileDescriptor wakeRead_;
    posix::FileDescriptor wakeWrite_;
    pid_t processId_ = -1;
    bool reaped_ = false;
    std::thread waiter_;
    std::atomic<bool> exitSeen_{false};
    std::atomic<bool> outputClosed_{false};

    // Under mutex_.
    std::optional<Clock::time_point> deadline_;
    bool exited_ = false;
    bool terminating_ = false;
    bool killSent_ = false;
    bool timedOut_ = false;
    bool cancelled_ = false;
    bool suspended_ = false;
    Clock::time_point killAt_{};
};

void ProcessRunner::Timekeeper::keepTime() {
    std::unique_lock guard(mutex);
    while (!stopping_) {
        const std::optional<Clock::time_point> wake =
            current != nullptr ? current->keepTime(Clock::now()) : std::nullopt;
        if (wake) {
            changed.wait_until(guard, *wake);
        } else {
            changed.wait(guard);
        }
    }
}

CommandError CommandError::cannotLaunch(const std::string& executablePath, int errorNumber) {
    switch (errorNumber) {
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case EAGAIN:
        return CommandError(executablePath, "Could not launch " + executablePath + ": " +
                                                std::strerror(errorNumber) + ".");
    default:
        return cannotLaunch(executablePath);
    }
}

ProcessRunner::ProcessRunner() : ProcessRunner(Settings{}) {}

ProcessRunner::ProcessRunner(Settings settings) : settings_(std::move(settings)) {}

ProcessRunner::~ProcessRunner() = default;

CommandResult ProcessRunner::run(const std::string& executable,
                                 const std::vector<std::string>& arguments, double timeout,
                                 const OutputHandler& onOutput,
                                 const OutputHandler& onErrorOutput) {
    {
        std::lock_guard guard(lock_);
        if (didCancel_) {
            return CommandResult{-1, false, true};
        }
        if (running_) {
            throw std::logic_error("ProcessRunner runs one command at a time");
        }
        running_ = true;
    }
    struct Idle {
        ProcessRunner& runner;
        ~Idle() {
            std::lock_guard guard(runner.lock_);
            runner.running_ = false;
        }
    } idle{*this};
    if (!timekeeper_) {
        timekeeper_ = std::make_unique<Timekeeper>();
    }
    Run run(*this, *timekeeper_, onOutput, onErrorOutput);
    run.launch(executable, arguments);
    return run.wait(timeout);
}

void ProcessRunner::cancel() {
    std::lock_guard guard(lock_);
    didCancel_ = true;
    if (active_ != nullptr) {
        active_->requestCancel();
    }
}

bool ProcessRunner::isCancelled() const {
    std::lock_guard guard(lock_);
    return didCancel_;
}

} // namespace cairnmoor
