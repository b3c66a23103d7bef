#include "managers/MacPortsExecutable.hpp"

#include "platform/FileError.hpp"
#include "platform/Posix.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cairnmoor::MacPortsExecutable {

bool validate(std::string_view executablePath, const FileManager& fileManager,
              const std::function<bool(const std::string&)>& aclValidator) {
    if (executablePath != path) {
        return false;
    }
    if (!fileManager.isExecutableFile(path)) {
        return false;
    }
    for (const char* entry : pathChain) {
        const std::string component(entry);
        if (fileManager.resolvingSymlinks(component).string() != component) {
            return false;
        }
        FileAttributes attributes;
        try {
            attributes = fileManager.attributesOfItem(component);
        } catch (const std::exception&) {
            return false;
        }
        if (!attributes.ownerAccountID || !attributes.posixPermissions || !attributes.type) {
            return false;
        }
        const FileType expected = component == path ? FileType::regular : FileType::directory;
        if (*attributes.type != expected) {
            return false;
        }
        if (*attributes.ownerAccountID != 0) {
            return false;
        }
        if ((*attributes.posixPermissions & 022) != 0) {
            return false;
        }
        if (!aclValidator(component)) {
            return false;
        }
    }
    return true;
}

bool isTrusted(std::string_view executablePath, const FileManager& fileManager) {
    return validate(executablePath, fileManager,
                    [](const std::string& entry) { return hasSafeACL(entry); });
}

namespace {

bool grantsChange(std::string_view line) {
    static constexpr std::string_view permissions[] = {"write",    "append",           "delete",
                                                       "add_file", "add_subdirectory", "chown"};
    for (const std::string_view permission : permissions) {
        if (line.find(permission) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

bool safeACLListing(std::string_view listing) {
    while (!listing.empty()) {
        const auto end = listing.find('\n');
        const std::string_view line = listing.substr(0, end);
        if (line.find(" allow ") != std::string_view::npos && grantsChange(line)) {
            return false;
        }
        if (end == std::string_view::npos) {
            break;
        }
        listing.remove_prefix(end + 1);
    }
    return true;
}

bool hasSafeACL(const std::string& path, const std::string& lister,
                std::chrono::milliseconds timeLimit) {
    using Clock = std::chrono::steady_clock;
    posix::FileDescriptor readEnd;
    posix::FileDescriptor writeEnd;
    if (!posix::makeCloseOnExecPipe(readEnd, writeEnd)) {
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    // Its own process group, so that a listing that hangs can be ended with whatever
    // it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    // The listing runs with a fixed environment of its own, never the user's.
    const char* arguments[] = {lister.c_str(), "-lde", path.c_str(), nullptr};
    const char* environment[] = {"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LC_ALL=C", nullptr};
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, lister.c_str(), &actions, &attributes,
                      const_cast<char* const*>(arguments), const_cast<char* const*>(environment));
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    writeEnd.close();
    if (spawned != 0) {
        return false;
    }

    std::string output;
    char buffer[4096];
    bool finished = true;
    const Clock::time_point deadline = Clock::now() + timeLimit;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd readable{readEnd.get(), POLLIN, 0};
        if (left <= 0 || posix::retryOnInterrupt(
                             [&] { return ::poll(&readable, 1, static_cast<int>(left)); }) <= 0) {
            finished = false;
            break;
        }
        const ssize_t count =
            posix::retryOnInterrupt([&] { return ::read(readEnd.get(), buffer, sizeof buffer); });
        if (count <= 0) {
            break;
        }
        output.append(buffer, static_cast<std::size_t>(count));
    }
    int status = 0;
    // After the end of its output a listing exits at once; one that does not by the
    // deadline is stopped like one that never finished writing.
    pid_t reaped = 0;
    while (finished && (reaped = posix::retryOnInterrupt(
                            [&] { return ::waitpid(child, &status, WNOHANG); })) == 0) {
        if (Clock::now() >= deadline) {
            finished = false;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!finished) {
        ::kill(-child, SIGKILL);
        reaped = posix::retryOnInterrupt([&] { return ::waitpid(child, &status, 0); });
    }
    if (reaped != child) {
        return false;
    }
    if (!finished || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return false;
    }
    // Invalid UTF-8 would be replaced before judging; the judgement only looks for
    // ASCII words, so the raw bytes give the same answer.
    return safeACLListing(output);
}

} // namespace cairnmoor::MacPortsExecutable
