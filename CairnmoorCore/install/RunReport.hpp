#pragma once

#include "install/InstallOptions.hpp"
#include "install/InstallPlan.hpp"
#include "install/PackageState.hpp"
#include "managers/PackageManager.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// A headless run as a fleet tool reads it: what was asked, what the plan said and what
// became of each app. The JSON encoding is documented in docs/REPORT.md and only ever
// grows; every key is always present, unknown values are null.
struct RunReport {
    static constexpr int formatVersion = 1;

    enum class Outcome {
        running,     // written before the first command and while the run goes on
        finished,    // every app reached its final state
        interrupted, // a signal stopped the run; the rest was skipped
        notStarted,  // the run stopped before its first command (see `error`)
    };

    struct App {
        std::string id;
        std::string name;
        std::string package; // the manager's name for it; empty when there is none
        std::optional<PlannedAction> plannedAction; // none until the plan is made
        PackageState state;
        std::chrono::milliseconds duration{0}; // from its first command to its final state

        bool operator==(const App&) const = default;
    };

    std::chrono::system_clock::time_point startedAt;
    std::optional<std::chrono::system_clock::time_point> endedAt;
    std::string version; // Cairnmoor's
    std::string host;
    std::string profile; // as given on the command line
    std::optional<PackageManager> manager;
    std::string managerPath; // empty: not found (yet)
    std::string runAs;       // the account the manager's commands ran as, when not ours
    std::optional<InstallOptions> options;
    std::string logFile;
    Outcome outcome = Outcome::running;
    int signalNumber = 0; // what interrupted the run
    std::string error;    // why the run did not start
    std::vector<App> apps;
    std::optional<int> exitStatus;

    bool operator==(const RunReport&) const = default;

    // The JSON document: keys in a fixed order, indented by two spaces, a line feed last.
    std::string json() const;

    // "installed", "upgraded" (a planned upgrade that ended installed), "skipped",
    // "alreadyInstalled", "installedOutside", "failed", "skippedRunning" (an app of it was
    // open); "unfinished" for any state that is not final.
    static std::string_view stateName(const App& app);
};

} // namespace cairnmoor
