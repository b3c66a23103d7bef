#include "platform/PeerAccount.hpp"

#include <unistd.h>

namespace cairnmoor {

std::optional<uid_t> peerAccount(int socket) {
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(socket, &uid, &gid) != 0) {
        return std::nullopt;
    }
    return uid;
}

} // namespace cairnmoor
