#pragma once

#include <string>
#include <string_view>

namespace cairnmoor {

// A package's state in a run. `downloading` (while a fetch ahead of the installs is
// downloading it) and `installing` are the intermediate states the engine reports; installed,
// alreadyPresent, installedOutside, skipped and failed are final.
struct PackageState {
    // installedOutside: the app is on the Mac without the manager and was left alone.
    enum class Kind {
        failed,
        pending,
        installing,
        installed,
        alreadyPresent,
        skipped,
        installedOutside,
        downloading
    };

    Kind kind = Kind::pending;
    std::string message; // only for failed

    static PackageState failed(std::string message) { return {Kind::failed, std::move(message)}; }
    static PackageState pending() { return {Kind::pending, {}}; }
    static PackageState installing() { return {Kind::installing, {}}; }
    static PackageState installed() { return {Kind::installed, {}}; }
    static PackageState alreadyPresent() { return {Kind::alreadyPresent, {}}; }
    static PackageState skipped() { return {Kind::skipped, {}}; }
    static PackageState installedOutside() { return {Kind::installedOutside, {}}; }
    static PackageState downloading() { return {Kind::downloading, {}}; }

    bool isFinal() const {
        return kind != Kind::pending && kind != Kind::installing && kind != Kind::downloading;
    }
    // The case name: "failed", "pending", "installing", "installed", "alreadyPresent",
    // "skipped", "installedOutside", "downloading".
    std::string_view caseName() const;

    bool operator==(const PackageState&) const = default;
};

} // namespace cairnmoor
