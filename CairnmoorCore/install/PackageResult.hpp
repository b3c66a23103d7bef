#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/PackageState.hpp"

namespace cairnmoor {

struct PackageResult {
    AppEntry app;
    PackageState state;

    bool operator==(const PackageResult&) const = default;
};

} // namespace cairnmoor
