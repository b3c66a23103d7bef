#include "buildinfo/SignatureState.hpp"

namespace cairnmoor {

std::string SignatureState::summary() const {
    if (!valid) {
        return "Not signed, or the signature does not verify";
    }
    std::string text = authority.value_or("unknown authority");
    if (teamIdentifier && !teamIdentifier->empty()) {
        text += " (Team " + *teamIdentifier + ")";
    }
    return text;
}

} // namespace cairnmoor
