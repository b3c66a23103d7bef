#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace cairnmoor::CodeSignature {

struct Info {
    bool valid = false;
    std::optional<std::string> authority;
    std::optional<std::string> teamIdentifier;
};

// The code signature of the bundle at the path. Only macOS signs bundles; elsewhere
// every bundle is reported as not signed.
Info inspect(const std::filesystem::path& bundlePath);

} // namespace cairnmoor::CodeSignature
