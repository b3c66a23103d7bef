#include "platform/PlatformDirectories.hpp"

namespace cairnmoor {

std::optional<std::filesystem::path> platformLibraryDirectory(const std::filesystem::path& home) {
    return home / "Library";
}

} // namespace cairnmoor
