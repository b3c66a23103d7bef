#pragma once

#include "catalogue/AppEntry.hpp"

#include <array>
#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// The two supported package managers and everything fixed per manager: names, the
// package-name rule, argument lists and where to get the manager.
class PackageManager {
public:
    enum Value : unsigned char { homebrew, macports };

    constexpr PackageManager(Value value = homebrew) : value_(value) {}

    static const std::array<PackageManager, 2> allCases;
    // Exactly "homebrew" or "macports" (case-sensitive); anything else is none.
    static std::optional<PackageManager> fromRawValue(std::string_view rawValue);

    constexpr Value value() const { return value_; }
    std::string_view rawValue() const;
    std::string_view displayName() const;
    std::string_view executableName() const;

    // The manager's name rule over the whole string: Homebrew
    // ^[A-Za-z0-9][A-Za-z0-9._+/@-]*$, MacPorts the same without "/" and "@".
    bool isValidPackageName(std::string_view name) const;
    // The package name of the entry for this manager, when it has one that passes the rule.
    std::optional<std::string> token(const AppEntry& entry) const;
    // The install (or upgrade) arguments without the executable; none without a token.
    std::optional<std::vector<std::string>> arguments(const AppEntry& entry, bool upgrade) const;
    // Refreshes the manager's own package index.
    std::vector<std::string> updateArguments() const;
    // Throws PackageManagerError::invalidSelection for an empty list or unmapped entries.
    void validate(const std::vector<AppEntry>& apps) const;
    // Where a user gets the manager.
    std::string_view installURL() const;

    friend constexpr bool operator==(PackageManager, PackageManager) = default;
    friend constexpr auto operator<=>(PackageManager a, PackageManager b) {
        return a.value_ <=> b.value_;
    }

private:
    Value value_;
};

} // namespace cairnmoor
