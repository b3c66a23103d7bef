#include "platform/TerminalLauncher.hpp"

#include <thread>

namespace cairnmoor::TerminalLauncher {

void open(const std::filesystem::path& script, Completion completion) {
    // Answer the way the macOS launcher does: later, from another thread.
    std::thread([script, completion = std::move(completion)] {
        completion("Terminal hand-off is only available on macOS; run " + script.string() +
                   " in a terminal yourself.");
    }).detach();
}

} // namespace cairnmoor::TerminalLauncher
