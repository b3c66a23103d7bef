#include "support/StubFileManager.hpp"

#include "platform/FileError.hpp"

#include <cerrno>

namespace cairnmoor::testing {

bool StubFileManager::isExecutableFile(const std::filesystem::path& path) const {
    return executables.contains(path) || (!onlyStaged && FileManager::isExecutableFile(path));
}

FileAttributes StubFileManager::attributesOfItem(const std::filesystem::path& path) const {
    if (unreadableAttributes.contains(path) || (onlyStaged && !attributes.contains(path))) {
        throw FileError(path, unreadableAttributes.contains(path) ? EACCES : ENOENT);
    }
    const auto found = attributes.find(path);
    return found != attributes.end() ? found->second : FileManager::attributesOfItem(path);
}

std::filesystem::path StubFileManager::resolvingSymlinks(const std::filesystem::path& path) const {
    if (const auto found = symlinkTargets.find(path); found != symlinkTargets.end()) {
        return found->second;
    }
    return onlyStaged ? path : FileManager::resolvingSymlinks(path);
}

} // namespace cairnmoor::testing
