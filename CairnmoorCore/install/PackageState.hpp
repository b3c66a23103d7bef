#pragma once

#include <cstddef>
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
    static constexpr std::size_t kindCount = 9;

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
    // Every word a state is shown with, in one row per kind.
    struct Names {
        Kind kind;
        std::string_view caseName;   // "alreadyPresent": the command line's progress lines
        std::string_view reportName; // "alreadyInstalled"; "unfinished" for any state not final
        std::string_view rowText;    // "Already present": the window's run row
        std::string_view tallyText;  // "already present": a count in a summary; empty if not final
    };
    static const Names& names(Kind kind);

    std::string_view caseName() const { return names(kind).caseName; }

    bool operator==(const PackageState&) const = default;
};

} // namespace cairnmoor
