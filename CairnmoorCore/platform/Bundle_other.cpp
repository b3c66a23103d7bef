#include "platform/Bundle.hpp"

#include <system_error>

namespace cairnmoor {

namespace fs = std::filesystem;

namespace {

// The kernel's link names the executable itself, with every symbolic link on the way
// resolved, so starting the program through a link still finds its own prefix.
std::optional<fs::path> runningExecutable() {
#if defined(__linux__)
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        return path;
    }
#endif
    return std::nullopt;
}

} // namespace

const Bundle& Bundle::main() {
    static const Bundle bundle = forBareExecutable(runningExecutable());
    return bundle;
}

} // namespace cairnmoor
