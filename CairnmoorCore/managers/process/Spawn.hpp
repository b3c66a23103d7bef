#pragma once

#include "platform/Account.hpp"

#include <sys/types.h>

namespace cairnmoor::process {

// How a child starts: in a process group of its own (so signals reach everything it
// starts), or a session of its own when there is a terminal it must be kept from;
// reading our standard input only when it is lent our terminal, /dev/null otherwise;
// its output on the given descriptors; the signals we ignore back at their defaults and
// nothing blocked, whatever this process does with them; no other descriptor of ours.
struct ChildSetup {
    int output = -1;
    int errorOutput = -1;
    bool withTerminal = false;
    bool newSession = false;
    // Runs as this account instead of ours (only root can switch).
    const Account* account = nullptr;
};

// Starts `path` (posix_spawn; fork and exec for another account, which posix_spawn cannot
// switch to). Returns 0 with the child's id, or the error number of what failed, here or
// in the child before its exec.
int spawn(pid_t& processId, const char* path, char* const argv[], char* const envp[],
          const ChildSetup& setup);

} // namespace cairnmoor::process
