#pragma once

#include <optional>
#include <string>
#include <string_view>

// Since Homebrew 6.0 a formula or cask from a third-party tap that is not trusted is not
// loaded: "Error: Refusing to load cask user/tap/name from untrusted tap user/tap." This
// tells that failure apart, so the message can say which tap and how to trust it.
// Cairnmoor never taps or trusts anything itself.
namespace cairnmoor::TapTrust {

struct Refusal {
    std::string kind; // "formula" or "cask"
    std::string item; // "user/tap/name"
    std::string tap;  // "user/tap"

    bool operator==(const Refusal&) const = default;
};

// The refusal a line of Homebrew's output reports; none for any other line.
std::optional<Refusal> refusal(std::string_view line);

// The failed package's message: which tap, and both ways to trust it.
std::string failureMessage(const Refusal& refusal);

} // namespace cairnmoor::TapTrust
