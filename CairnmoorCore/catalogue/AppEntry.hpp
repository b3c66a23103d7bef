#pragma once

#include "catalogue/MacOSInfo.hpp"

#include <optional>
#include <string>

namespace cairnmoor {

// One application of the catalogue, identified by `id`.
struct AppEntry {
    std::string id;
    std::string name;
    std::string category;
    std::string licence;
    std::string homepage;
    std::string summary;
    std::optional<MacOSInfo> macos; // none: neither manager can install it
    std::optional<bool> recommended;

    bool isRecommended() const { return recommended.value_or(false); }

    bool operator==(const AppEntry&) const = default;
};

} // namespace cairnmoor
