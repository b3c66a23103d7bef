#pragma once

#include <optional>
#include <sys/types.h>

namespace cairnmoor {

// The effective user id of the process at the other end of a connected Unix socket, as
// the kernel recorded it when it connected (Linux: SO_PEERCRED; macOS: getpeereid). None
// when the system cannot tell.
std::optional<uid_t> peerAccount(int socket);

} // namespace cairnmoor
