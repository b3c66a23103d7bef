#include "managers/ProcessRunner.hpp"

#include "managers/CommandError.hpp"
#include "managers/process/ChildEnvironment.hpp"
#include "managers/process/LineSplitter.hpp"
#include "managers/process/Spawn.hpp"
#include "managers/process/TerminalLoan.hpp"
#include "platform/Posix.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace cairnmoor {
namespace {

using process::LineSplitter;
using process::TerminalLoan;

using Clock = std::chrono::steady_clock;

// A child that ignores SIGTERM gets SIGKILL this long after it.
constexpr auto gracePeriod = std::chrono::milliseconds(500);
// A grandchild that keeps the output pipe open after the child exited is given this
// long to finish writing; then the run returns without it.
constexpr auto drainLimit = std::chrono::seconds(1);
constexpr std::size_t readChunk = 64 * 1024;
// Reads per loop turn before deadlines are looked at again, so a flood cannot starve them.
constexpr int readsPerTurn = 16;

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

int exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return WTERMSIG(status);
    }
    return -1;
}

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
        const ProcessRunner::Settings& settings = runner_.settings_;
        if (settings.executable && settings.executable->path == executable &&
            ExecutableIdentity::of(executable) != settings.executable) {
            {
                std::lock_guard guard(runner_.lock_);
                runner_.didCancel_ = true;
            }
            throw CommandError::replaced(executable);
        }
        // Another account gets no terminal of ours: it could read what we are given
        // there, or type into the shell that started us.
        const bool otherAccount = settings.account.has_value();
        terminal_.open(settings.shareTerminal && !otherAccount);
        const auto failed = [&] { throw CommandError::cannotLaunch(executable, errno); };
        if (!posix::makeCloseOnExecPipe(output_.readEnd, output_.writeEnd) ||
            !posix::keepAboveStandardDescriptors(output_.writeEnd) ||
            !posix::setNonBlocking(output_.readEnd.get())) {
            failed();
        }
        if (separateErrors_ &&
            (!posix::makeCloseOnExecPipe(errorOutput_.readEnd, errorOutput_.writeEnd) ||
             !posix::keepAboveStandardDescriptors(errorOutput_.writeEnd) ||
             !posix::setNonBlocking(errorOutput_.readEnd.get()))) {
            failed();
        }
        if (!posix::makeCloseOnExecPipe(wakeRead_, wakeWrite_) ||
            !posix::setNonBlocking(wakeRead_.get()) || !posix::setNonBlocking(wakeWrite_.get())) {
            failed();
        }

        std::vector<char*> argv;
        argv.reserve(arguments.size() + 2);
        argv.push_back(const_cast<char*>(executable.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        process::ChildEnvironment environment(settings, executable);

        // Another account always gets a session of its own: without one it would share
        // our controlling terminal even where it is not lent the foreground.
        const process::ChildSetup setup{.output = output_.writeEnd.get(),
                                        .errorOutput = separateErrors_ ? errorOutput_.writeEnd.get()
                                                                       : output_.writeEnd.get(),
                                        .withTerminal = terminal_.held(),
                                        .newSession = otherAccount || terminal_.elsewhere(),
                                        .account = otherAccount ? &*settings.account : nullptr};
        pid_t processId = -1;
        if (const int error = process::spawn(processId, executable.c_str(), argv.data(),
                                             environment.get(), setup);
            error != 0) {
            errno = error;
            failed();
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

std::optional<ProcessRunner::ExecutableIdentity>
ProcessRunner::ExecutableIdentity::of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return ExecutableIdentity{path, info.st_dev, info.st_ino, info.st_uid};
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
