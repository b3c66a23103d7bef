#pragma once

#include <filesystem>
#include <optional>

namespace cairnmoor {

// The user's Library folder where the platform has one (macOS), else none.
std::optional<std::filesystem::path> platformLibraryDirectory(const std::filesystem::path& home);

} // namespace cairnmoor
