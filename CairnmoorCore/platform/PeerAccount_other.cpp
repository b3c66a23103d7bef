#include "platform/PeerAccount.hpp"

#include <sys/socket.h>

namespace cairnmoor {

std::optional<uid_t> peerAccount(int socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials) {
        return std::nullopt;
    }
    return credentials.uid;
}

} // namespace cairnmoor
