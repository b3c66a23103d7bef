#include "managers/process/Spawn.hpp"

#include "managers/process/PostFork.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

namespace cairnmoor::process {
namespace {

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

} // namespace

int spawn(pid_t& processId, const char* path, char* const argv[], char* const envp[],
          const ChildSetup& setup) {
    if (setup.account != nullptr) {
        return AccountSpawn(*setup.account)
            .start(processId, path, argv, envp, setup.output, setup.errorOutput, setup.withTerminal,
                   setup.newSession);
    }
    SpawnSetup spawnSetup;
    if (const int error = spawnSetup.prepare(setup.output, setup.errorOutput, setup.withTerminal,
                                             setup.newSession);
        error != 0) {
        return error;
    }
    return ::posix_spawn(&processId, path, &spawnSetup.actions, &spawnSetup.attributes, argv, envp);
}

} // namespace cairnmoor::process
