#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/PackageState.hpp"

#include <string>

namespace cairnmoor {

// One package line of the run sheet; identified by its entry's id.
struct RunRow {
    AppEntry app;
    PackageState state;

    const std::string& id() const { return app.id; }

    // What the run sheet shows for a state: "Pending", "Installing", "Installed",
    // "Already present", "Skipped", or "Failed: " and the message.
    static std::string stateText(const PackageState& state);

    bool operator==(const RunRow&) const = default;
};

} // namespace cairnmoor
