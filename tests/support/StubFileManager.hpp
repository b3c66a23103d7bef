#pragma once

#include "platform/FileError.hpp"
#include "platform/FileManager.hpp"

#include <cerrno>
#include <map>
#include <set>

namespace cairnmoor::testing {

// The real file system with a chosen home and chosen standard folders, plus optional
// staged answers for the trust check (attributes, executability, link resolution) so
// tests can describe root-owned trees that a test cannot create.
class StubFileManager : public FileManager {
public:
    using Paths = std::vector<std::filesystem::path>;
    std::filesystem::path home;
    Paths applicationSupport, library;

    // Staged answers; a path not listed falls through to the real file system.
    std::map<std::string, FileAttributes> attributes;
    std::set<std::string> unreadableAttributes, executables;
    std::map<std::string, std::string> symlinkTargets;
    bool onlyStaged = false; // when true, unlisted paths do not exist

    std::filesystem::path homeDirectory() const override { return home; }
    Paths applicationSupportDirectories() const override { return applicationSupport; }
    Paths libraryDirectories() const override { return library; }
    bool isExecutableFile(const std::filesystem::path& path) const override {
        return executables.contains(path) || (!onlyStaged && FileManager::isExecutableFile(path));
    }
    FileAttributes attributesOfItem(const std::filesystem::path& path) const override {
        if (unreadableAttributes.contains(path) || (onlyStaged && !attributes.contains(path))) {
            throw FileError(path, unreadableAttributes.contains(path) ? EACCES : ENOENT);
        }
        const auto found = attributes.find(path);
        return found != attributes.end() ? found->second : FileManager::attributesOfItem(path);
    }
    std::filesystem::path resolvingSymlinks(const std::filesystem::path& path) const override {
        if (const auto found = symlinkTargets.find(path); found != symlinkTargets.end()) {
            return found->second;
        }
        return onlyStaged ? path : FileManager::resolvingSymlinks(path);
    }
};

} // namespace cairnmoor::testing
