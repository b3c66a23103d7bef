#pragma once

#include <stdexcept>
#include <string>

namespace cairnmoor {

// The one failure of running a command: the child could not be started.
class CommandError : public std::runtime_error {
public:
    static CommandError cannotLaunch(const std::string& executablePath) {
        return CommandError(executablePath, "Could not launch " + executablePath + ".");
    }
    // When this process, not the executable, was the obstacle (no descriptors or memory
    // left), the text says so: blaming the executable would send the user astray.
    static CommandError cannotLaunch(const std::string& executablePath, int errorNumber);
    // The executable is no longer the file that was checked before the run.
    static CommandError replaced(const std::string& executablePath) {
        return CommandError(executablePath,
                            executablePath +
                                " was replaced or changed owner during the run; stopping.");
    }

    // The executable path exactly as it was passed to the runner.
    const std::string& executablePath() const noexcept { return executablePath_; }

private:
    CommandError(const std::string& executablePath, const std::string& text)
        : std::runtime_error(text), executablePath_(executablePath) {}

    std::string executablePath_;
};

} // namespace cairnmoor
