#pragma once

#include "platform/Account.hpp"

#include <string>
#include <sys/types.h>
#include <vector>

namespace cairnmoor::process {

// posix_spawn cannot change the user, so a child that runs as another account is
// started with fork and exec, set up as SpawnSetup sets up the others. Everything is
// prepared before the fork: between fork and exec the child makes only
// async-signal-safe calls, since another thread may have held a lock at the fork.
class AccountSpawn {
public:
    explicit AccountSpawn(const Account& account);

    // Returns 0 with the child's id, or the error number of what failed, in this
    // process or in the child before its exec.
    int start(pid_t& processId, const char* path, char* const argv[], char* const envp[],
              int output, int errorOutput, bool withTerminal, bool newSession);

private:
    [[noreturn]] void childSide(int report, const char* path, char* const argv[],
                                char* const envp[], int output, int errorOutput, bool withTerminal,
                                bool newSession);

    uid_t uid_;
    gid_t gid_;
    std::vector<gid_t> groups_;
    std::string home_;
    int openMax_;
};

} // namespace cairnmoor::process
