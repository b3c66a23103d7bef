#pragma once

#include <filesystem>
#include <sys/types.h>

namespace cairnmoor::testing {

// An open app as the process table shows one: a copy of sleep placed at
// BUNDLE/Contents/MacOS/NAME and started, as another account when root asks (an app is
// open for its user only). One that ignores the quit request has it blocked. Killed and
// reaped when destroyed.
class OpenApp {
public:
    explicit OpenApp(const std::filesystem::path& bundle, bool ignoresQuit = false,
                     const char* account = nullptr);
    ~OpenApp();
    OpenApp(const OpenApp&) = delete;
    OpenApp& operator=(const OpenApp&) = delete;

    // Not yet ended (ended ones are reaped here).
    bool running();

private:
    pid_t pid_ = -1;
};

} // namespace cairnmoor::testing
