#include "platform/PathTrust.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cairnmoor::PathTrust {
namespace {

namespace fs = std::filesystem;

// As the kernel allows before it gives up with ELOOP.
constexpr int maxLinks = 40;

bool isTrusted(uid_t uid, const Trusted& trusted) {
    return uid == 0 ||
           std::find(trusted.users.begin(), trusted.users.end(), uid) != trusted.users.end();
}

template <typename Entry, typename Lookup>
bool lookUp(Entry& entry, std::vector<char>& buffer, Lookup lookup) {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    buffer.resize(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
    Entry* found = nullptr;
    int error;
    while ((error = lookup(&entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (std::size_t{1} << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    return error == 0 && found != nullptr;
}

// The group's name, or its number; in `untrusted` whether an account outside `trusted`
// belongs to it, by the group's member list or as its primary group.
std::string groupName(gid_t gid, const Trusted& trusted, bool& untrusted) {
    group entry{};
    std::vector<char> buffer;
    std::string name = std::to_string(gid);
    untrusted = false;
    if (lookUp(entry, buffer, [gid](group* g, char* b, std::size_t n, group** out) {
            return ::getgrgid_r(gid, g, b, n, out);
        })) {
        name = entry.gr_name;
        for (char** member = entry.gr_mem; member != nullptr && *member != nullptr; ++member) {
            passwd account{};
            std::vector<char> accountBuffer;
            const std::string memberName = *member;
            if (!lookUp(account, accountBuffer,
                        [&](passwd* p, char* b, std::size_t n, passwd** out) {
                            return ::getpwnam_r(memberName.c_str(), p, b, n, out);
                        }) ||
                !isTrusted(account.pw_uid, trusted)) {
                untrusted = true;
            }
        }
    }
    // The password database is walked with shared state: one walker at a time.
    static std::mutex walking;
    std::lock_guard guard(walking);
    ::setpwent();
    while (const passwd* account = ::getpwent()) {
        if (account->pw_gid == gid && !isTrusted(account->pw_uid, trusted)) {
            untrusted = true;
        }
    }
    ::endpwent();
    return name;
}

// Why an untrusted account could change the item, or none. A sticky folder owned by
// root keeps others from renaming what lies in it, which is all an ancestor must ensure.
std::optional<std::string> changeableByOthers(const struct stat& info, const Trusted& trusted,
                                              bool ancestor) {
    if (!isTrusted(info.st_uid, trusted)) {
        return " belongs to " + userName(info.st_uid);
    }
    const bool safeSticky =
        ancestor && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0 && info.st_uid == 0;
    if ((info.st_mode & S_IWOTH) != 0 && !safeSticky) {
        return std::string(" is writable by everyone");
    }
    if ((info.st_mode & S_IWGRP) != 0 && !safeSticky) {
        bool untrusted = false;
        const std::string name = groupName(info.st_gid, trusted, untrusted);
        if (untrusted) {
            return " is writable by the group " + name;
        }
    }
    return std::nullopt;
}

} // namespace

std::string userName(uid_t uid) {
    passwd entry{};
    std::vector<char> buffer;
    if (lookUp(entry, buffer, [uid](passwd* p, char* b, std::size_t n, passwd** out) {
            return ::getpwuid_r(uid, p, b, n, out);
        })) {
        return entry.pw_name;
    }
    return "user " + std::to_string(uid);
}

std::optional<std::string> problem(const fs::path& path, const Trusted& trusted, bool itself) {
    std::error_code error;
    const fs::path absolute = path.is_absolute() ? path : fs::current_path(error) / path;
    if (error) {
        return "the current folder cannot be read: " + error.message();
    }
    std::deque<std::string> rest;
    for (const fs::path& part : absolute.relative_path()) {
        rest.push_back(part.string());
    }
    fs::path current = "/";
    struct stat info {};
    if (::lstat("/", &info) != 0) {
        return "/ cannot be examined: " + std::string(std::strerror(errno));
    }
    if (auto why = changeableByOthers(info, trusted, true)) {
        return "/" + *why;
    }
    int links = 0;
    while (!rest.empty()) {
        const std::string name = rest.front();
        rest.pop_front();
        // Folders are resolved as they are met, so ".." goes where the kernel would go.
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            current = current.parent_path();
            continue;
        }
        const bool last = rest.empty();
        if (last && !itself) {
            return std::nullopt;
        }
        const fs::path candidate = current / name;
        if (::lstat(candidate.c_str(), &info) != 0) {
            if (errno == ENOENT && !itself) {
                return std::nullopt;
            }
            return candidate.string() + " cannot be examined: " + std::strerror(errno);
        }
        if (S_ISLNK(info.st_mode)) {
            if (!isTrusted(info.st_uid, trusted)) {
                return candidate.string() + " is a link owned by " + userName(info.st_uid);
            }
            char target[PATH_MAX];
            const ssize_t length = ::readlink(candidate.c_str(), target, sizeof target - 1);
            if (length < 0 || ++links > maxLinks) {
                return candidate.string() + " cannot be followed";
            }
            const fs::path targetPath(std::string(target, static_cast<std::size_t>(length)));
            if (targetPath.is_absolute()) {
                current = "/";
            }
            std::vector<std::string> parts;
            for (const fs::path& part : targetPath.relative_path()) {
                parts.push_back(part.string());
            }
            rest.insert(rest.begin(), parts.begin(), parts.end());
            continue;
        }
        if (!last && !S_ISDIR(info.st_mode)) {
            return candidate.string() + " is not a folder";
        }
        if (auto why = changeableByOthers(info, trusted, !last)) {
            return candidate.string() + *why;
        }
        current = candidate;
    }
    return std::nullopt;
}

} // namespace cairnmoor::PathTrust
