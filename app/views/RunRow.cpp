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
    }
    return {};
}

} // namespace cairnmoor
