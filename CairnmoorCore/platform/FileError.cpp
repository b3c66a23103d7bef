#include "platform/FileError.hpp"

#include <cstring>

namespace cairnmoor {

FileError::FileError(const std::filesystem::path& path, int errorNumber)
    : std::runtime_error(path.string() + ": " + std::strerror(errorNumber)), path_(path),
      errorNumber_(errorNumber) {}

FileError::FileError(const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error(path.string() + ": " + reason), path_(path) {}

} // namespace cairnmoor
