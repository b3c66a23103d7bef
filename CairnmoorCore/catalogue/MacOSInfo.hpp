#pragma once

#include <optional>
#include <string>

namespace cairnmoor {

// How an entry is installed on macOS: its Homebrew name and kind, and its MacPorts port.
struct MacOSInfo {
    std::string brew;
    std::string type;
    std::optional<std::string> macports;

    // Exactly "cask" (case-sensitive) marks a cask.
    bool isCask() const { return type == "cask"; }

    bool operator==(const MacOSInfo&) const = default;
};

} // namespace cairnmoor
