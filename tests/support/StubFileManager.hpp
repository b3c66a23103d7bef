#pragma once

#include "platform/FileManager.hpp"

#include <map>
#include <set>

namespace cairnmoor::testing {

// The real file system with a chosen home and chosen standard folders, plus optional
// staged answers for the trust check (attributes, executability, link resolution) so
// tests can describe root-owned trees that a test cannot create.
class StubFileManager : public FileManager {
public:
    std::filesystem::path home;
    std::vector<std::filesystem::path> applicationSupport;
    std::vector<std::filesystem::path> library;

    // Staged answers; a path not listed falls through to the real file system.
    std::map<std::string, FileAttributes> attributes;
    std::set<std::string> unreadableAttributes;
    std::set<std::string> executables;
    std::map<std::string, std::string> symlinkTargets;
    bool onlyStaged = false; // when true, unlisted paths do not exist

    std::filesystem::path homeDirectory() const override { return home; }
    std::vector<std::filesystem::path> applicationSupportDirectories() const override {
        return applicationSupport;
    }
    std::vector<std::filesystem::path> libraryDirectories() const override { return library; }
    bool isExecutableFile(const std::filesystem::path& path) const override;
    FileAttributes attributesOfItem(const std::filesystem::path& path) const override;
    std::filesystem::path resolvingSymlinks(const std::filesystem::path& path) const override;
};

} // namespace cairnmoor::testing
