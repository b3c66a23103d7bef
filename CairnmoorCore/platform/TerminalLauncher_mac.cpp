#include "platform/Posix.hpp"
#include "platform/TerminalLauncher.hpp"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace cairnmoor::TerminalLauncher {

namespace {

std::optional<std::string> openWithTerminal(const std::filesystem::path& script) {
    const std::string openTool = "/usr/bin/open";
    std::vector<std::string> arguments = {openTool, "-a", terminalApplicationPath, script.string()};
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawnError =
        posix_spawn(&child, openTool.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawnError != 0) {
        return "Terminal could not be started to open " + script.string() + ": " +
               std::strerror(spawnError);
    }
    int status = 0;
    if (posix::retryOnInterrupt([&] { return waitpid(child, &status, 0); }) == -1) {
        return "Terminal could not be started to open " + script.string() + ": " +
               std::strerror(errno);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return std::nullopt;
    }
    return "The application \u201cTerminal\u201d could not open \u201c" +
           script.filename().string() + "\u201d.";
}

} // namespace

void open(const std::filesystem::path& script, Completion completion) {
    // `open` waits for Launch Services; keep that off the caller's (interface) thread.
    std::thread([script, completion = std::move(completion)] {
        completion(openWithTerminal(script));
    }).detach();
}

} // namespace cairnmoor::TerminalLauncher
