#include "platform/PlatformDirectories.hpp"

namespace cairnmoor {

// Other platforms have no Library folder; callers use their home-directory fallbacks.
std::optional<std::filesystem::path> platformLibraryDirectory(const std::filesystem::path&) {
    return std::nullopt;
}

} // namespace cairnmoor
