#pragma once

#include "platform/FileManager.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cairnmoor {

// A user account as the password and group databases describe it.
struct Account {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    // Every group the account belongs to, its primary group among them.
    std::vector<gid_t> groups;
    std::filesystem::path home;
    // The login shell; empty when the entry names none.
    std::string shell;

    bool operator==(const Account&) const = default;

    // The account with this user id; none when the password database has no entry.
    static std::optional<Account> withID(uid_t uid);
    // The account owning the file the path leads to (links followed); none when the
    // owner has no entry. Throws FileError when the file cannot be examined.
    static std::optional<Account> owning(const std::filesystem::path& path,
                                         const FileManager& fileManager);
};

} // namespace cairnmoor
