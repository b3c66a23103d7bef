#include "catalogue/Catalog.hpp"

#include <algorithm>

namespace cairnmoor {

std::vector<AppEntry> Catalog::macApps() const {
    std::vector<AppEntry> result;
    std::copy_if(apps.begin(), apps.end(), std::back_inserter(result),
                 [](const AppEntry& entry) { return entry.macos.has_value(); });
    return result;
}

} // namespace cairnmoor
