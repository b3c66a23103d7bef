#include "views/RunRow.hpp"

namespace cairnmoor {

std::string RunRow::stateText(const PackageState& state) {
    const std::string text(PackageState::names(state.kind).rowText);
    return state.kind == PackageState::Kind::failed ? text + ": " + state.message : text;
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
    return std::string(InstallPlan::names(*planned).waitingText);
}

bool RunRow::worked() const {
    return state.isFinal() && state.kind != PackageState::Kind::skipped &&
           (state.kind != PackageState::Kind::failed || started);
}

} // namespace cairnmoor
