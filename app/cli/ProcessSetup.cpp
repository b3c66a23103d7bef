#include "cli/ProcessSetup.hpp"

#include "platform/Posix.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cairnmoor::ProcessSetup {

void normalise() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free descriptor is this one, since the lower ones are open by now.
        const int opened = posix::retryOnInterrupt(
            [fd] { return ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY); });
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    std::signal(SIGCHLD, SIG_DFL);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace cairnmoor::ProcessSetup
