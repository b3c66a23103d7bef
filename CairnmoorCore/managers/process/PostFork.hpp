#pragma once

#include "platform/Account.hpp"

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cairnmoor::process {

// The groups a child running as an account gets: its primary group first, then the others
// found for it, no more than the kernel takes (`limit`; 0 for no limit).
std::vector<gid_t> accountGroups(gid_t primary, std::vector<gid_t> found, std::size_t limit);

// Takes on an account's groups, then its group, then its user: once the user is switched,
// nothing else may be. `calls` makes the three system calls (a test records them); nothing
// here allocates, so the child of a fork may call it.
template <typename Calls>
bool becomeAccount(Calls& calls, const std::vector<gid_t>& groups, gid_t gid, uid_t uid) {
    return calls.setgroups(static_cast<int>(groups.size()), groups.data()) == 0 &&
           calls.setgid(gid) == 0 && calls.setuid(uid) == 0;
}

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
