#include "managers/PackageManager.hpp"

#include "managers/PackageManagerError.hpp"

namespace cairnmoor {

const std::array<PackageManager, 2> PackageManager::allCases = {PackageManager::homebrew,
                                                                PackageManager::macports};

std::optional<PackageManager> PackageManager::fromRawValue(std::string_view rawValue) {
    if (rawValue == "homebrew") {
        return PackageManager::homebrew;
    }
    if (rawValue == "macports") {
        return PackageManager::macports;
    }
    return std::nullopt;
}

std::string_view PackageManager::rawValue() const {
    return value_ == homebrew ? "homebrew" : "macports";
}

std::string_view PackageManager::displayName() const {
    return value_ == homebrew ? "Homebrew" : "MacPorts";
}

std::string_view PackageManager::executableName() const {
    return value_ == homebrew ? "brew" : "port";
}

namespace {

bool isAsciiAlphanumeric(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace

bool PackageManager::isValidPackageName(std::string_view name) const {
    if (name.empty() || !isAsciiAlphanumeric(name.front())) {
        return false;
    }
    for (const char c : name.substr(1)) {
        const bool common = isAsciiAlphanumeric(c) || c == '.' || c == '_' || c == '+' || c == '-';
        const bool homebrewOnly = c == '/' || c == '@';
        if (!common && !(value_ == homebrew && homebrewOnly)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> PackageManager::token(const AppEntry& entry) const {
    if (!entry.macos) {
        return std::nullopt;
    }
    const std::optional<std::string>& candidate =
        value_ == homebrew ? std::optional(entry.macos->brew) : entry.macos->macports;
    if (!candidate || !isValidPackageName(*candidate)) {
        return std::nullopt;
    }
    return candidate;
}

std::optional<std::vector<std::string>> PackageManager::arguments(const AppEntry& entry,
                                                                  bool upgrade) const {
    auto name = token(entry);
    if (!name) {
        return std::nullopt;
    }
    std::string verb = upgrade ? "upgrade" : "install";
    if (value_ == macports) {
        return std::vector<std::string>{"-N", std::move(verb), std::move(*name)};
    }
    if (entry.macos->type == "cask") {
        return std::vector<std::string>{std::move(verb), "--cask", std::move(*name)};
    }
    return std::vector<std::string>{std::move(verb), std::move(*name)};
}

std::vector<std::string> PackageManager::updateArguments() const {
    if (value_ == homebrew) {
        return {"update"};
    }
    return {"-N", "selfupdate"};
}

void PackageManager::validate(const std::vector<AppEntry>& apps) const {
    if (apps.empty()) {
        throw PackageManagerError::invalidSelection("No apps selected.");
    }
    std::string unmapped;
    bool anyUnmapped = false;
    for (const AppEntry& entry : apps) {
        if (!token(entry)) {
            unmapped += anyUnmapped ? ", " + entry.name : entry.name;
            anyUnmapped = true;
        }
    }
    if (anyUnmapped) {
        throw PackageManagerError::invalidSelection(
            "No " + std::string(displayName()) + " mapping for: " + unmapped +
            ". Choose another manager or remove these apps.");
    }
}

std::string_view PackageManager::installURL() const {
    return value_ == homebrew ? "https://brew.sh/" : "https://www.macports.org/install.php";
}

} // namespace cairnmoor
