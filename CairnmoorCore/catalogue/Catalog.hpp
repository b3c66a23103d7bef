#pragma once

#include "catalogue/AppEntry.hpp"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cairnmoor {

struct Catalog {
    std::int64_t schema = 2;
    std::string updated;
    std::map<std::string, std::string> licences; // licence key -> description
    std::vector<std::string> categories;         // display order
    std::vector<AppEntry> apps;                  // catalogue order

    // The catalogue the window falls back to when loading fails.
    static Catalog empty() { return Catalog{}; }

    // The entries that have a macOS record, in catalogue order.
    std::vector<AppEntry> macApps() const;
    bool isValidLicence(const std::string& key) const { return licences.contains(key); }

    bool operator==(const Catalog&) const = default;
};

} // namespace cairnmoor
