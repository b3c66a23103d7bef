#include "install/ProfilePackage.hpp"

namespace cairnmoor {

namespace {

constexpr std::string_view portType = "port";

} // namespace

std::optional<ProfilePackage::Kind> ProfilePackage::kindFromRawValue(std::string_view rawValue) {
    if (rawValue == "formula") {
        return Kind::formula;
    }
    if (rawValue == "cask") {
        return Kind::cask;
    }
    if (rawValue == portType) {
        return Kind::port;
    }
    return std::nullopt;
}

std::string_view ProfilePackage::rawValue(Kind kind) {
    switch (kind) {
    case Kind::cask:
        return "cask";
    case Kind::port:
        return portType;
    case Kind::formula:
        break;
    }
    return "formula";
}

PackageManager ProfilePackage::manager() const {
    return kind == Kind::port ? PackageManager::macports : PackageManager::homebrew;
}

AppEntry ProfilePackage::entry() const {
    AppEntry app;
    app.id = std::string(rawValue(kind)) + ":" + name;
    app.name = name;
    if (kind == Kind::port) {
        // No Homebrew name at all: an empty one fails Homebrew's rule.
        app.macos = MacOSInfo{.brew = "", .type = std::string(portType), .macports = name};
    } else {
        app.macos = MacOSInfo{.brew = name, .type = std::string(rawValue(kind)), .macports = {}};
    }
    return app;
}

std::optional<ProfilePackage> ProfilePackage::fromEntry(const AppEntry& entry) {
    const std::size_t colon = entry.id.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const auto kind = kindFromRawValue(std::string_view(entry.id).substr(0, colon));
    if (!kind) {
        return std::nullopt;
    }
    ProfilePackage package{entry.id.substr(colon + 1), *kind};
    if (package.entry() != entry) {
        return std::nullopt;
    }
    return package;
}

} // namespace cairnmoor
