#include "support/StubFileManager.hpp"

#include "platform/FileError.hpp"

#include <cerrno>

namespace cairnmoor::testing {

bool StubFileManager::isExecutableFile(const std::filesystem::path& path) const {
    if (executables.contains(path.string())) {
        return true;
    }
    return !onlyStaged && FileManager::isExecutableFile(path);
}

FileAttributes StubFileManager::attributesOfItem(const std::filesystem::path& path) const {
    if (unreadableAttributes.contains(path.string())) {
        throw FileError(path, EACCES);
    }
    if (const auto found = attributes.find(path.string()); found != attributes.end()) {
        return found->second;
    }
    if (onlyStaged) {
        throw FileError(path, ENOENT);
    }
    return FileManager::attributesOfItem(path);
}

std::filesystem::path StubFileManager::resolvingSymlinks(const std::filesystem::path& path) const {
    if (const auto found = symlinkTargets.find(path.string()); found != symlinkTargets.end()) {
        return found->second;
    }
    if (onlyStaged) {
        return path;
    }
    return FileManager::resolvingSymlinks(path);
}

} // namespace cairnmoor::testing
