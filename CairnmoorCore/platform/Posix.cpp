#include "platform/Posix.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace cairnmoor::posix {

int FileDescriptor::close() noexcept {
    if (fd_ < 0) {
        return 0;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
}

int syncToStorage(int fd) noexcept {
#ifdef F_FULLFSYNC
    if (retryOnInterrupt([fd] { return ::fcntl(fd, F_FULLFSYNC); }) == 0) {
        return 0;
    }
#endif
    return retryOnInterrupt([fd] { return ::fsync(fd); });
}

bool makeCloseOnExecPipe(FileDescriptor& readEnd, FileDescriptor& writeEnd) {
    int ends[2];
#if defined(__linux__) || defined(__FreeBSD__)
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
#else
    // No pipe2 here: a child spawned by another thread between the two calls could
    // inherit the ends. Spawns in this program pass explicit file actions, and the
    // runner closes what it does not hand over, so the window is harmless.
    if (::pipe(ends) != 0) {
        return false;
    }
    setCloseOnExec(ends[0]);
    setCloseOnExec(ends[1]);
#endif
    readEnd = FileDescriptor(ends[0]);
    writeEnd = FileDescriptor(ends[1]);
    return true;
}

bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != -1;
}

bool setCloseOnExec(int fd) {
    const int flags = ::fcntl(fd, F_GETFD);
    return flags != -1 && ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC) != -1;
}

bool keepAboveStandardDescriptors(FileDescriptor& fd) {
    if (fd.get() > STDERR_FILENO) {
        return true;
    }
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) {
        return false;
    }
    fd = FileDescriptor(moved);
    return true;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t count =
            retryOnInterrupt([&] { return ::write(fd, data.data(), data.size()); });
        if (count <= 0) {
            // Nothing written for a non-empty buffer would repeat forever: call it a failure.
            if (count == 0) {
                errno = EIO;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

} // namespace cairnmoor::posix
