#include "platform/Bundle.hpp"

#include <system_error>

namespace cairnmoor {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> runningExecutable() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return path;
}

} // namespace

const Bundle& Bundle::main() {
    static const Bundle bundle = [] {
        const auto executable = runningExecutable();
        // bin/Cairnmoor under a prefix (installed or build tree): the prefix is the bundle.
        const fs::path prefix =
            executable ? executable->parent_path().parent_path() : fs::current_path();
        std::error_code error;
        fs::path resources = prefix / "share" / "cairnmoor";
        return Bundle(prefix,
                      fs::is_directory(resources, error) ? std::optional(resources) : std::nullopt,
                      executable, builtInInfoDictionary());
    }();
    return bundle;
}

} // namespace cairnmoor
