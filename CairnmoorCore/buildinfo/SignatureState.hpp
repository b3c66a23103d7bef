#pragma once

#include <optional>
#include <string>

namespace cairnmoor {

struct SignatureState {
    bool valid = false;
    std::optional<std::string> authority;
    std::optional<std::string> teamIdentifier;

    // "Not signed, or the signature does not verify", or the authority (or "unknown
    // authority") followed by " (Team X)" when a team is recorded.
    std::string summary() const;

    bool operator==(const SignatureState&) const = default;
};

} // namespace cairnmoor
