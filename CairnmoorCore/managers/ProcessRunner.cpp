#include "managers/ProcessRunner.hpp"

#include "managers/CommandError.hpp"
#include "platform/Posix.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
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

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
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
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) {
                low = 0xA0;
            } else if (c == 0xED) {
                high = 0x9F;
            }
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) {
                low = 0x90;
            } else if (c == 0xF4) {
                high = 0x8F;
            }
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) {
            return false;
        }
        if (p[1] < low || p[1] > high) {
            return false;
        }
        for (std::size_t i = 2; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        p += length;
    }
    return true;
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

// Splits the child's bytes into lines at line feeds and hands each valid one on.
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
        if (!onOutput_ || !isValidUtf8(reinterpret_cast<const unsigned char*>(data), size)) {
            return;
        }
        line_.assign(data, size);
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

void earliest(std::optional<Clock::time_point>& wake, Clock::time_point candidate) {
    if (!wake || candidate < *wake) {
        wake = candidate;
    }
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

    // Child in a process group of its own (so signals reach everything it starts),
    // SIGPIPE at its default and nothing blocked whatever this process does with
    // them, and `output` as both its standard output and standard error.
    int prepare(int output) {
        if (int error = posix_spawnattr_init(&attributes); error != 0) {
            return error;
        }
        hasAttributes = true;
        short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
#if defined(__APPLE__) && defined(POSIX_SPAWN_CLOEXEC_DEFAULT)
        // Descriptors other code opened without close-on-exec stay out of the child.
        flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
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
        if (int error = posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
            error != 0) {
            return error;
        }
        if (int error = posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
            error != 0) {
            return error;
        }
#if defined(__APPLE__) && defined(POSIX_SPAWN_CLOEXEC_DEFAULT)
        if (int error = posix_spawn_file_actions_addinherit_np(&actions, STDIN_FILENO);
            error != 0) {
            return error;
        }
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        if (int error = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
            error != 0) {
            return error;
        }
#endif
        return 0;
    }
};

} // namespace

// One child process from launch to reaping. Whatever happens (a launch failure, an
// exception from the output callback), the destructor leaves no child unreaped, no
// thread running and no descriptor open, and the runner idle again.
class ProcessRunner::Run {
public:
    Run(ProcessRunner& runner, const OutputHandler& onOutput) : runner_(runner), lines_(onOutput) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    ~Run() {
        if (processId_ > 0 && !reaped_) {
            unregister();
            signalGroup(processId_, SIGKILL);
            if (waiter_.joinable()) {
                waiter_.join();
            }
            int status = 0;
            posix::retryOnInterrupt([&] { return ::waitpid(processId_, &status, 0); });
        } else if (waiter_.joinable()) {
            waiter_.join();
        }
        std::lock_guard guard(runner_.lock_);
        runner_.running_ = false;
        runner_.wakeFd_ = -1;
    }

    void launch(const std::string& executable, const std::vector<std::string>& arguments) {
        if (!posix::makeCloseOnExecPipe(outputRead_, outputWrite_) ||
            !posix::makeCloseOnExecPipe(wakeRead_, wakeWrite_) ||
            !keepAboveStandardDescriptors(outputWrite_) || !setNonBlocking(outputRead_.get()) ||
            !setNonBlocking(wakeRead_.get()) || !setNonBlocking(wakeWrite_.get())) {
            throw CommandError::cannotLaunch(executable);
        }

        std::vector<char*> argv;
        argv.reserve(arguments.size() + 2);
        argv.push_back(const_cast<char*>(executable.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);

        SpawnSetup setup;
        pid_t processId = -1;
        if (setup.prepare(outputWrite_.get()) != 0 ||
            ::posix_spawn(&processId, executable.c_str(), &setup.actions, &setup.attributes,
                          argv.data(), environ) != 0) {
            throw CommandError::cannotLaunch(executable);
        }
        processId_ = processId;
        // Our copy of the writing end must go, or the pipe would never reach end of file.
        outputWrite_.close();

        bool cancelled;
        {
            std::lock_guard guard(runner_.lock_);
            runner_.processId_ = processId_;
            runner_.wakeFd_ = wakeWrite_.get();
            // A cancel that came after the first check has found nothing to signal yet.
            cancelled = runner_.didCancel_;
        }
        waiter_ = std::thread([this] { awaitExit(); });
        if (cancelled) {
            beginTermination(Clock::now());
        }
    }

    CommandResult wait(double timeout) {
        const std::optional<Clock::time_point> deadline = deadlineAfter(timeout, Clock::now());
        bool timedOut = false;
        bool eof = false;
        bool exited = false;
        std::optional<Clock::time_point> drainUntil;

        for (;;) {
            Clock::time_point now = Clock::now();
            if (!terminating_ && deadline && now >= *deadline) {
                timedOut = true;
                beginTermination(now);
            }
            if (terminating_ && !killSent_ && now >= killAt_) {
                // The child, or something it started, is still holding on.
                if (!exited || !eof) {
                    signalGroup(processId_, SIGKILL);
                }
                killSent_ = true;
            }
            if (exited && !drainUntil) {
                drainUntil = now + drainLimit;
            }
            if (exited && (eof || now >= *drainUntil)) {
                break;
            }

            std::optional<Clock::time_point> wake;
            if (!terminating_ && deadline) {
                earliest(wake, *deadline);
            }
            if (terminating_ && !killSent_) {
                earliest(wake, killAt_);
            }
            if (drainUntil) {
                earliest(wake, *drainUntil);
            }

            pollfd fds[2] = {{wakeRead_.get(), POLLIN, 0},
                             {eof ? -1 : outputRead_.get(), POLLIN, 0}};
            const int ready = ::poll(fds, 2, pollTimeout(wake, now));
            if (ready < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    continue;
                }
                throw std::system_error(errno, std::generic_category(), "poll");
            }
            if (!eof && (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0) {
                eof = readOutput();
            }
            if ((fds[0].revents & POLLIN) != 0) {
                drainWakeups();
                if (!terminating_ && isCancelled()) {
                    beginTermination(Clock::now());
                }
            }
            exited = exited_.load(std::memory_order_acquire);
        }

        lines_.finish();
        const bool cancelled = unregister();
        waiter_.join();
        int status = 0;
        const pid_t reapedId =
            posix::retryOnInterrupt([&] { return ::waitpid(processId_, &status, 0); });
        reaped_ = true;
        // Someone else reaped it (SIGCHLD ignored by the host): the status is unknown.
        const int exitCode = reapedId == processId_ ? exitCodeOf(status) : -1;
        return CommandResult{exitCode, timedOut, cancelled};
    }

private:
    // Waits until the child has ended without reaping it: while it is unreaped its
    // identifier and process group cannot be reused, so signals stay safe.
    void awaitExit() {
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        posix::retryOnInterrupt([&] {
            return ::waitid(P_PID, static_cast<id_t>(processId_), &info, WEXITED | WNOWAIT);
        });
        exited_.store(true, std::memory_order_release);
        const char byte = 'x';
        posix::retryOnInterrupt([&] { return ::write(wakeWrite_.get(), &byte, 1); });
    }

    void beginTermination(Clock::time_point now) {
        signalGroup(processId_, SIGTERM);
        terminating_ = true;
        killAt_ = now + gracePeriod;
    }

    // True at end of file (or when the pipe can no longer be read).
    bool readOutput() {
        // On the heap: background threads on macOS get small stacks.
        if (chunk_.empty()) {
            chunk_.resize(readChunk);
        }
        char* chunk = chunk_.data();
        for (int turn = 0; turn < readsPerTurn; ++turn) {
            const ssize_t count = posix::retryOnInterrupt(
                [&] { return ::read(outputRead_.get(), chunk, readChunk); });
            if (count > 0) {
                lines_.append(chunk, static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return false;
            }
            return true;
        }
        return false;
    }

    void drainWakeups() {
        char bytes[64];
        while (posix::retryOnInterrupt(
                   [&] { return ::read(wakeRead_.get(), bytes, sizeof bytes); }) > 0) {
        }
    }

    bool isCancelled() const {
        std::lock_guard guard(runner_.lock_);
        return runner_.didCancel_;
    }

    // Forgets the child before it is reaped; returns whether the run was cancelled.
    bool unregister() {
        std::lock_guard guard(runner_.lock_);
        runner_.processId_ = -1;
        runner_.wakeFd_ = -1;
        return runner_.didCancel_;
    }

    ProcessRunner& runner_;
    LineSplitter lines_;
    std::vector<char> chunk_;
    posix::FileDescriptor outputRead_;
    posix::FileDescriptor outputWrite_;
    posix::FileDescriptor wakeRead_;
    posix::FileDescriptor wakeWrite_;
    pid_t processId_ = -1;
    bool reaped_ = false;
    std::thread waiter_;
    std::atomic<bool> exited_{false};
    bool terminating_ = false;
    bool killSent_ = false;
    Clock::time_point killAt_{};
};

ProcessRunner::ProcessRunner() = default;

ProcessRunner::~ProcessRunner() = default;

CommandResult ProcessRunner::run(const std::string& executable,
                                 const std::vector<std::string>& arguments, double timeout,
                                 const OutputHandler& onOutput) {
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
    Run run(*this, onOutput);
    run.launch(executable, arguments);
    return run.wait(timeout);
}

void ProcessRunner::cancel() {
    std::lock_guard guard(lock_);
    didCancel_ = true;
    // Both are valid while registered: the child is unregistered before it is reaped,
    // and the wake pipe is closed only after that.
    if (processId_ > 0) {
        signalGroup(processId_, SIGTERM);
    }
    if (wakeFd_ >= 0) {
        const char byte = 'c';
        posix::retryOnInterrupt([&] { return ::write(wakeFd_, &byte, 1); });
    }
}

bool ProcessRunner::isCancelled() const {
    std::lock_guard guard(lock_);
    return didCancel_;
}

} // namespace cairnmoor
