#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallPlan.hpp"
#include "install/PackageState.hpp"

#include <optional>
#include <string>

namespace cairnmoor {

// One package line of the run sheet; identified by its entry's id.
struct RunRow {
    AppEntry app;
    PackageState state;
    // What the run will do with it, once the engine has planned the run.
    std::optional<PlannedAction> planned;
    std::optional<ExistingApp> existing;
    // Its install command started (a skip after that is a stop), and its download ahead
    // is over.
    bool started = false;
    bool fetched = false;
    // For a failure: the manager's own last error line, when it printed one.
    std::string detail;

    const std::string& id() const { return app.id; }

    // What the run sheet shows for a state: "Pending", "Downloading", "Installing",
    // "Installed", "Already present", "Installed outside Homebrew", "Skipped", or
    // "Failed: " and the message.
    static std::string stateText(const PackageState& state);
    // The row's text: while it waits, its planned action ("Will install", "Will adopt",
    // "Already present", "Installed outside Homebrew", ...); "Stopped" for a package a
    // cancel interrupted; otherwise its state's.
    std::string text() const;
    // The run reached it and ended it: a final state other than a skip, not a failure
    // of the whole run before its command began.
    bool worked() const;

    bool operator==(const RunRow&) const = default;
};

} // namespace cairnmoor
