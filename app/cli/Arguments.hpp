#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cairnmoor {

// The command line as the user gave it, checked for what can be told without reading a
// file; the usage text beside it.
struct Arguments {
    enum class Command { window, help, version, profile, capture };

    Command command = Command::window;
    std::string profilePath;
    std::filesystem::path capturePath; // where --capture saves this Mac's profile
    bool brewfile = false;             // the profile is a Brewfile, read as data
    bool silent = false;
    bool dryRun = false;
    bool check = false;
    std::optional<std::filesystem::path> reportPath;
    std::optional<std::filesystem::path> logPath;
    // --manager as given: none when absent, empty when its value is missing.
    std::optional<std::string> manager;

    bool surveying() const { return dryRun || check; }

    // The arguments, or in `usageError` the one line saying what is wrong (status 2).
    static Arguments parse(const std::vector<std::string>& arguments, std::string& usageError);
};

// "Cairnmoor <version>" and the usage text.
const std::string& helpText();

} // namespace cairnmoor
