#include "cli/InterruptWatcher.hpp"

#include "platform/Posix.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace cairnmoor {

namespace {

constexpr std::array<int, 4> watchedSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// Written after the handlers are gone: tells the thread to finish.
constexpr unsigned char stopByte = 0;

std::atomic<int> caughtSignal{0};
std::atomic<bool> watcherActive{false};
int wakeReadEnd = -1;
int wakeWriteEnd = -1;

static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");

void onSignal(int signalNumber) {
    const int savedErrno = errno;
    int none = 0;
    caughtSignal.compare_exchange_strong(none, signalNumber);
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(wakeWriteEnd, &byte, 1);
    errno = savedErrno;
}

// The pipe is made once and kept for the life of the process: a handler still running
// on another thread while a watcher stops must never write into a reused descriptor.
void makeWakePipe() {
    static const int error = [] {
        posix::FileDescriptor readEnd;
        posix::FileDescriptor writeEnd;
        if (!posix::makeCloseOnExecPipe(readEnd, writeEnd)) {
            return errno;
        }
        for (const int fd : {readEnd.get(), writeEnd.get()}) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags == -1 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == -1) {
                return errno;
            }
        }
        wakeReadEnd = readEnd.release();
        wakeWriteEnd = writeEnd.release();
        return 0;
    }();
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot watch for interrupts");
    }
}

void drainWakePipe() {
    unsigned char buffer[64];
    while (posix::retryOnInterrupt([&] { return ::read(wakeReadEnd, buffer, sizeof buffer); }) >
           0) {
    }
}

} // namespace

InterruptWatcher::InterruptWatcher(Handler onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
    if (watcherActive.exchange(true)) {
        throw std::logic_error("only one interrupt watcher may be active");
    }
    try {
        makeWakePipe();
    } catch (...) {
        watcherActive = false;
        throw;
    }
    drainWakePipe();
    caughtSignal = 0;

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : watchedSignals) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < watchedSignals.size(); ++i) {
        if (::sigaction(watchedSignals[i], nullptr, &previous_[i]) == 0 &&
            previous_[i].sa_handler == SIG_IGN) {
            continue;
        }
        if (::sigaction(watchedSignals[i], &action, &previous_[i]) != 0) {
            const int error = errno;
            while (i-- > 0) {
                if (watching_[i]) {
                    ::sigaction(watchedSignals[i], &previous_[i], nullptr);
                }
            }
            watcherActive = false;
            throw std::system_error(error, std::generic_category(), "cannot watch for interrupts");
        }
        watching_[i] = true;
    }
    active_ = true;
    thread_ = std::thread([this] { watch(); });
}

InterruptWatcher::~InterruptWatcher() {
    stop();
}

void InterruptWatcher::stop(After after) {
    if (!active_) {
        return;
    }
    active_ = false;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (std::size_t i = 0; i < watchedSignals.size(); ++i) {
        if (watching_[i]) {
            ::sigaction(watchedSignals[i], after == After::ignored ? &ignore : &previous_[i],
                        nullptr);
        }
    }
    // The write end is non-blocking; if the pipe were full the thread is awake anyway
    // and keeps reading until it sees this byte, so retry until it fits.
    for (;;) {
        const ssize_t written =
            posix::retryOnInterrupt([] { return ::write(wakeWriteEnd, &stopByte, 1); });
        if (written == 1 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            break;
        }
        std::this_thread::yield();
    }
    thread_.join();
    watcherActive = false;
}

int InterruptWatcher::signalNumber() const {
    return caughtSignal.load();
}

void InterruptWatcher::watch() {
    bool notified = false;
    for (;;) {
        pollfd wake{wakeReadEnd, POLLIN, 0};
        if (posix::retryOnInterrupt([&] { return ::poll(&wake, 1, -1); }) < 0) {
            return; // cannot happen with a valid descriptor; never spin
        }
        unsigned char buffer[64];
        const ssize_t count =
            posix::retryOnInterrupt([&] { return ::read(wakeReadEnd, buffer, sizeof buffer); });
        for (ssize_t i = 0; i < count; ++i) {
            if (buffer[i] == stopByte) {
                return;
            }
            if (!notified) {
                notified = true;
                onInterrupt_(buffer[i]);
            }
        }
    }
}

} // namespace cairnmoor
