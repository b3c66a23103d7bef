#include "platform/Account.hpp"

#include "platform/FileError.hpp"

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace cairnmoor {

std::optional<Account> Account::withID(uid_t uid) {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    int error;
    while ((error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (error != 0 || found == nullptr) {
        return std::nullopt;
    }
    Account account{found->pw_name,
                    found->pw_uid,
                    found->pw_gid,
                    {},
                    found->pw_dir != nullptr ? found->pw_dir : "",
                    found->pw_shell != nullptr ? found->pw_shell : ""};

    // The list's length is not known beforehand: grow until it fits. macOS declares
    // the groups as int.
#ifdef __APPLE__
    using GroupID = int;
#else
    using GroupID = gid_t;
#endif
    std::vector<GroupID> groups(32);
    for (;;) {
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(account.name.c_str(), static_cast<GroupID>(account.gid), groups.data(),
                           &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            break;
        }
        // Some systems report the size needed, others only that it was too small.
        groups.resize(std::max(groups.size() * 2, static_cast<std::size_t>(count)));
        if (groups.size() > 65536) {
            groups = {static_cast<GroupID>(account.gid)};
            break;
        }
    }
    for (const GroupID group : groups) {
        account.groups.push_back(static_cast<gid_t>(group));
    }
    return account;
}

std::optional<Account> Account::owning(const std::filesystem::path& path,
                                       const FileManager& fileManager) {
    const FileAttributes attributes =
        fileManager.attributesOfItem(fileManager.resolvingSymlinks(path));
    if (!attributes.ownerAccountID) {
        throw FileError(path, "its owner cannot be read");
    }
    return withID(static_cast<uid_t>(*attributes.ownerAccountID));
}

} // namespace cairnmoor
