#include "install/PackageState.hpp"

#include <array>

namespace cairnmoor {

namespace {

using Kind = PackageState::Kind;

constexpr std::array<PackageState::Names, PackageState::kindCount> table{{
    {Kind::failed, "failed", "failed", "Failed", "failed"},
    {Kind::pending, "pending", "unfinished", "Pending", ""},
    {Kind::installing, "installing", "unfinished", "Installing", ""},
    {Kind::installed, "installed", "installed", "Installed", "installed"},
    {Kind::alreadyPresent, "alreadyPresent", "alreadyInstalled", "Already present",
     "already present"},
    {Kind::skipped, "skipped", "skipped", "Skipped", "skipped"},
    {Kind::installedOutside, "installedOutside", "installedOutside", "Installed outside Homebrew",
     "installed outside Homebrew"},
    {Kind::downloading, "downloading", "unfinished", "Downloading", ""},
    {Kind::skippedRunning, "skippedRunning", "skippedRunning", "Skipped: running",
     "skipped because they were running"},
}};

// The rows are in the enumeration's order, so a kind is its own index.
constexpr bool inKindOrder() {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (static_cast<std::size_t>(table[i].kind) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inKindOrder() && static_cast<std::size_t>(Kind::skippedRunning) + 1 == table.size());

} // namespace

const PackageState::Names& PackageState::names(Kind kind) {
    return table.at(static_cast<std::size_t>(kind));
}

} // namespace cairnmoor
