#include "views/RunRow.hpp"

namespace cairnmoor {

std::string RunRow::stateText(const PackageState& state) {
    switch (state.kind) {
    case PackageState::Kind::failed:
        return "Failed: " + state.message;
    case PackageState::Kind::pending:
        return "Pending";
    case PackageState::Kind::installing:
        return "Installing";
    case PackageState::Kind::installed:
        return "Installed";
    case PackageState::Kind::alreadyPresent:
        return "Already present";
    case PackageState::Kind::skipped:
        return "Skipped";
    case PackageState::Kind::installedOutside:
        return "Installed outside Homebrew";
    case PackageState::Kind::downloading:
        return "Downloading";
    case PackageState::Kind::skippedRunning:
        return "Skipped: running";
    }
    return {};
}

std::string RunRow::text() const {
    const bool fromAppStore = existing && existing->fromAppStore;
    const bool waiting = state.kind == PackageState::Kind::pending && planned;
    if (fromAppStore && (state.kind == PackageState::Kind::installedOutside ||
                         (waiting && planned == PlannedAction::installedOutside))) {
        return "Installed from the App Store";
    }
    if (state.kind == PackageState::Kind::skipped && started) {
        return "Stopped";
    }
    if (!waiting) {
        return stateText(state);
    }
    switch (*planned) {
    case PlannedAction::install:
        return "Will install";
    case PlannedAction::upgrade:
        return "Will upgrade";
    case PlannedAction::adopt:
        return "Will adopt";
    case PlannedAction::replace:
        return "Will replace";
    case PlannedAction::alreadyInstalled:
        // The word the row keeps once the run has passed it.
        return "Already present";
    case PlannedAction::installedOutside:
        return "Installed outside Homebrew";
    case PlannedAction::notInstallable:
        break;
    }
    return "No Homebrew mapping";
}

bool RunRow::worked() const {
    return state.isFinal() && state.kind != PackageState::Kind::skipped &&
           (state.kind != PackageState::Kind::failed || started);
}

} // namespace cairnmoor
