#pragma once

#include <stdexcept>
#include <string>

namespace cairnmoor {

// The one failure of running a command: the child could not be started.
class CommandError : public std::runtime_error {
public:
    static CommandError cannotLaunch(const std::string& executablePath) {
        return CommandError(executablePath);
    }

    // The executable path exactly as it was passed to the runner.
    const std::string& executablePath() const noexcept { return executablePath_; }

private:
    explicit CommandError(const std::string& executablePath)
        : std::runtime_error("Could not launch " + executablePath + "."),
          executablePath_(executablePath) {}

    std::string executablePath_;
};

} // namespace cairnmoor
