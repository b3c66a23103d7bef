#pragma once

#include "CliProcess.hpp"
#include "support/TempDir.hpp"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cairnmoor::testing {

// A user's world for one test: a temporary home, a working folder, a bin folder on
// PATH with the fake `brew`, and the fake's state folder.
class CliSandbox {
public:
    CliSandbox();

    // Homebrew's fixed places are searched before PATH, so on a machine with a real
    // Homebrew the fake would be passed over: tests that install must not run there.
    static bool realHomebrewInTheWay();

    const std::filesystem::path& home() const { return home_; }
    const std::filesystem::path& work() const { return work_; }
    const std::filesystem::path& state() const { return state_; }
    std::string brewPath() const { return (bin_ / "brew").string(); }

    // Puts a replacement catalogue where the loader looks for one: alpha (cask),
    // beta (formula with a port), gamma (cask without a port), delta (no macOS record).
    void writeCatalogue() const;
    void writeCatalogue(const std::string& json) const;
    // Writes a profile into the working folder; returns its absolute path.
    std::filesystem::path writeProfile(const std::string& fileName,
                                       const std::vector<std::string>& apps,
                                       const std::string& optionsJson = defaultOptions) const;
    // Removes the fake from PATH.
    void withoutBrew() const;
    // Marks a package as installed in the fake's state.
    void preinstall(const std::string& kind, const std::string& name) const;
    // What the fake was asked to do, one command line per entry.
    std::vector<std::string> invocations() const;
    // Every file under the home and working folders, for spotting stray files.
    std::vector<std::filesystem::path> filesLeft() const;

    std::map<std::string, std::string> environment;
    std::filesystem::path executable = CAIRNMOOR_EXECUTABLE;

    CliResult run(const std::vector<std::string>& arguments) const;
    // Starts a run that the test wants to watch or interrupt.
    std::unique_ptr<CliProcess> start(const std::vector<std::string>& arguments) const;

    static inline const std::string defaultOptions =
        R"({"packageManager": "homebrew", "skipInstalled": true, "upgradeIfPresent": true,
            "runUpdateFirst": false, "writeLog": true, "timeoutSeconds": 60})";

private:
    TempDir root_;
    std::filesystem::path home_, work_, bin_, state_;
};

} // namespace cairnmoor::testing
