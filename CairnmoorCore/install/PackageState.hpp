#pragma once

#include <string>
#include <string_view>

namespace cairnmoor {

// A package's state in a run. `downloading` (while a fetch ahead of the installs is
// downloading it) and `installing` are the intermediate states the engine reports; installed,
// alreadyPresent, installedOutside, skipped, skippedRunning and failed are final.
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
        downloading,
        skippedRunning
    };

    Kind kind = Kind::pending;
    // failed: why; skippedRunning: the open apps that kept it from being touched
    // ("Firefox.app, Firefox Helper.app").
    std::string message;

    static PackageState failed(std::string message) { return {Kind::failed, std::move(message)}; }
    static PackageState pending() { return {Kind::pending, {}}; }
    static PackageState installing() { return {Kind::installing, {}}; }
    static PackageState installed() { return {Kind::installed, {}}; }
    static PackageState alreadyPresent() { return {Kind::alreadyPresent, {}}; }
    static PackageState skipped() { return {Kind::skipped, {}}; }
    static PackageState installedOutside() { return {Kind::installedOutside, {}}; }
    static PackageState downloading() { return {Kind::downloading, {}}; }
    // An app of the package was open (and did not quit when asked), so it was left alone.
    static PackageState skippedRunning(std::string apps) {
        return {Kind::skippedRunning, std::move(apps)};
    }

    bool isFinal() const {
        return kind != Kind::pending && kind != Kind::installing && kind != Kind::downloading;
    }
    // The case name: "failed", "pending", "installing", "installed", "alreadyPresent",
    // "skipped", "installedOutside", "downloading", "skippedRunning".
    std::string_view caseName() const;

    bool operator==(const PackageState&) const = default;
};

} // namespace cairnmoor
