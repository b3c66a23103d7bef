#include "support/OpenApp.hpp"

#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor::testing {

namespace fs = std::filesystem;

OpenApp::OpenApp(const fs::path& bundle, bool ignoresQuit, const char* account) {
    const fs::path executable = bundle / "Contents/MacOS" / bundle.stem();
    fs::create_directories(executable.parent_path());
    fs::copy_file(fs::exists("/bin/sleep") ? "/bin/sleep" : "/usr/bin/sleep", executable,
                  fs::copy_options::overwrite_existing);
    const passwd* user = account && ::geteuid() == 0 ? ::getpwnam(account) : nullptr;
    std::string path = executable.string();
    std::string seconds = "3600";
    char* arguments[] = {path.data(), seconds.data(), nullptr};
    // The pipe closes on exec: once it reads empty, the process table shows the copy.
    int started[2];
    if (::pipe(started) != 0 || ::fcntl(started[1], F_SETFD, FD_CLOEXEC) != 0) {
        throw std::runtime_error("cannot make a pipe");
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(started[0]);
        sigset_t mask;
        sigemptyset(&mask);
        if (ignoresQuit) {
            sigaddset(&mask, SIGTERM);
        }
        ::sigprocmask(SIG_SETMASK, &mask, nullptr);
        if (user && (::setgid(user->pw_gid) != 0 || ::setuid(user->pw_uid) != 0)) {
            ::_exit(127);
        }
        ::execv(path.c_str(), arguments);
        ::_exit(127);
    }
    ::close(started[1]);
    char ignored;
    while (::read(started[0], &ignored, 1) < 0 && errno == EINTR) {
    }
    ::close(started[0]);
    if (pid_ < 0) {
        throw std::runtime_error("cannot start " + path);
    }
}

OpenApp::~OpenApp() {
    if (running()) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool OpenApp::running() {
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
    }
    return pid_ > 0;
}

} // namespace cairnmoor::testing
