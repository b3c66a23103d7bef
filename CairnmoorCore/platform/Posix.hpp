#pragma once

#include <cerrno>
#include <string_view>
#include <utility>

namespace cairnmoor::posix {

// Repeats a system call for as long as it is interrupted by a signal.
template <typename Call>
auto retryOnInterrupt(Call&& call) {
    for (;;) {
        auto result = call();
        if (!(result == -1 && errno == EINTR)) {
            return result;
        }
    }
}

// Owns one file descriptor and closes it once.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~FileDescriptor() { close(); }

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int release() noexcept { return std::exchange(fd_, -1); }
    // Returns the result of close(2); EINTR is not retried, since the descriptor is
    // gone either way on the platforms we support.
    int close() noexcept;

private:
    int fd_ = -1;
};

// Writes the file's data through to the storage device: fsync(2), except on macOS, where
// fsync leaves it in the drive's cache and F_FULLFSYNC is what survives a power cut (file
// systems that refuse F_FULLFSYNC get fsync). 0, or -1 with errno set.
int syncToStorage(int fd) noexcept;

// A pipe whose two ends are closed on exec, so no other child inherits them.
// Returns false (errno set) when the system refuses.
bool makeCloseOnExecPipe(FileDescriptor& readEnd, FileDescriptor& writeEnd);

bool setNonBlocking(int fd);
// For a descriptor made without an atomic close-on-exec flag (macOS has no SOCK_CLOEXEC).
bool setCloseOnExec(int fd);

// Writes all of `data`, however many writes it takes. False (errno set) when one fails.
bool writeAll(int fd, std::string_view data);

// Moves a descriptor above the standard three: a pipe end that landed on 1 or 2 (the
// caller had closed its own) would be closed by exec instead of being handed over.
// False (errno set) when it cannot be moved.
bool keepAboveStandardDescriptors(FileDescriptor& fd);

} // namespace cairnmoor::posix
