#pragma once

#include "catalogue/AppEntry.hpp"
#include "managers/PackageManager.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace cairnmoor {

// A package named in a profile without a catalogue entry: a Homebrew formula or cask
// (possibly tap-qualified, "user/tap/name"), or a MacPorts port.
struct ProfilePackage {
    enum class Kind { formula, cask, port };

    std::string name;
    Kind kind = Kind::formula;

    // Exactly "formula", "cask" or "port"; anything else is none.
    static std::optional<Kind> kindFromRawValue(std::string_view rawValue);
    static std::string_view rawValue(Kind kind);

    // The manager that installs it: MacPorts for a port, Homebrew otherwise.
    PackageManager manager() const;
    // Whether the name passes its manager's name rule.
    bool hasValidName() const { return manager().isValidPackageName(name); }
    // The entry it becomes in a run: id "<kind>:<name>" (no catalogue id has a colon, and
    // a formula and a cask may share a name), display name the package name, and only its
    // own manager's package, so the other manager reports it as not installable.
    AppEntry entry() const;
    // The package an entry made by entry() stands for; none for a catalogue entry.
    static std::optional<ProfilePackage> fromEntry(const AppEntry& entry);

    bool operator==(const ProfilePackage&) const = default;
};

} // namespace cairnmoor
