#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Whether anyone but a few trusted accounts can change what a path leads to. Root uses
// it before it runs a program as another account or writes a file for a fleet tool: a
// folder another user can write lets that user swap what lies in it between our check
// and our use.
namespace cairnmoor::PathTrust {

// Who may own or write the folders on a path. Root always may.
struct Trusted {
    std::vector<uid_t> users;
};

// The first item on the path that an untrusted account could change, with the reason in
// a few words ("/opt/x is writable by everyone", "/tmp/l is a link owned by mallory"),
// or none. Every folder from "/" down is examined (links owned by trusted accounts are
// followed, up to a limit); a sticky folder owned by root is safe as an ancestor, since
// others cannot rename what lies in it. With `itself`, the item the path names is held
// to the same rules (without the sticky exception); else only its folders are, and
// folders that do not exist yet end the walk (whoever creates them below a safe folder
// is trusted). A group may write where all of its members are trusted.
std::optional<std::string> problem(const std::filesystem::path& path, const Trusted& trusted,
                                   bool itself);

// The user name for a user id, or the number when the account has no name.
std::string userName(uid_t uid);

} // namespace cairnmoor::PathTrust
