#include "CliProcess.hpp"

#include "platform/Posix.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor::testing {

namespace {

std::vector<char*> cStrings(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

CliProcess::CliProcess(const std::filesystem::path& executable,
                       const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment,
                       const std::filesystem::path& workingDirectory) {
    posix::FileDescriptor outRead, outWrite, errRead, errWrite;
    if (!posix::makeCloseOnExecPipe(outRead, outWrite) ||
        !posix::makeCloseOnExecPipe(errRead, errWrite)) {
        throw std::runtime_error("cannot make pipes");
    }
    std::vector<std::string> argv{executable.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp;
    for (const auto& [name, value] : environment) {
        envp.push_back(name + "=" + value);
    }
    auto argvPointers = cStrings(argv);
    auto envpPointers = cStrings(envp);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    // Start with default signal handling whatever the test runner set up.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error = ::posix_spawn(&pid_, argv[0].c_str(), &actions, &attributes,
                                    argvPointers.data(), envpPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
    outWrite.close();
    errWrite.close();
    reader_ = std::thread(
        [this, out = outRead.release(), err = errRead.release()] { readAll(out, err); });
}

CliProcess::~CliProcess() {
    if (reader_.joinable()) {
        {
            const std::lock_guard guard(lock_);
            if (!ended_) {
                ::kill(pid_, SIGKILL);
            }
        }
        reader_.join();
    }
}

void CliProcess::readAll(int outFd, int errFd) {
    posix::FileDescriptor out(outFd), err(errFd);
    pollfd fds[2] = {{out.get(), POLLIN, 0}, {err.get(), POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (posix::retryOnInterrupt([&] { return ::poll(fds, 2, -1); }) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t count =
                posix::retryOnInterrupt([&] { return ::read(fds[i].fd, buffer, sizeof buffer); });
            if (count <= 0) {
                fds[i].fd = -1;
                --open;
                continue;
            }
            const std::lock_guard guard(lock_);
            (i == 0 ? result_.out : result_.err).append(buffer, static_cast<std::size_t>(count));
            changed_.notify_all();
        }
    }
    int status = 0;
    posix::retryOnInterrupt([&] { return ::waitpid(pid_, &status, 0); });
    const std::lock_guard guard(lock_);
    if (WIFEXITED(status)) {
        result_.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result_.termSignal = WTERMSIG(status);
    }
    ended_ = true;
    changed_.notify_all();
}

bool CliProcess::waitForOutput(std::string_view text, std::chrono::milliseconds deadline) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, deadline, [&] {
        return ended_ || result_.out.find(text) != std::string::npos;
    }) && result_.out.find(text) != std::string::npos;
}

void CliProcess::sendSignal(int signalNumber) const {
    ::kill(pid_, signalNumber);
}

CliResult CliProcess::finish(std::chrono::milliseconds deadline) {
    {
        std::unique_lock guard(lock_);
        if (!changed_.wait_for(guard, deadline, [&] { return ended_; })) {
            ADD_FAILURE() << "Cairnmoor did not end in time; killed";
            ::kill(pid_, SIGKILL);
            // Cairnmoor's children sit in their own groups; take them down as well.
            guard.unlock();
            for (const pid_t group : childProcessGroups(pid_)) {
                ::kill(-group, SIGKILL);
            }
            guard.lock();
            changed_.wait(guard, [&] { return ended_; });
        }
    }
    reader_.join();
    return result_;
}

CliResult runCli(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment,
                 const std::filesystem::path& workingDirectory) {
    CliProcess process(executable, arguments, environment, workingDirectory);
    return process.finish();
}

std::vector<pid_t> childProcessGroups(pid_t parent) {
    std::vector<pid_t> groups;
    FILE* listing = ::popen("ps -A -o pid= -o ppid= -o pgid=", "r");
    if (listing == nullptr) {
        return groups;
    }
    long pid = 0, ppid = 0, pgid = 0;
    while (std::fscanf(listing, "%ld %ld %ld", &pid, &ppid, &pgid) == 3) {
        if (ppid == parent) {
            groups.push_back(static_cast<pid_t>(pgid));
        }
    }
    ::pclose(listing);
    return groups;
}

bool processGroupExists(pid_t group) {
    return ::kill(-group, 0) == 0 || errno == EPERM;
}

} // namespace cairnmoor::testing
