#pragma once

#include "platform/FileManager.hpp"

#include <filesystem>
#include <utility>

namespace cairnmoor {

// The file system as another account sees its own folders: home, and so its
// Applications and Library folders, from its password entry instead of ours. Root uses it
// for what it looks at on behalf of the account it runs Homebrew as.
class AccountFileManager : public FileManager {
public:
    explicit AccountFileManager(std::filesystem::path home) : home_(std::move(home)) {}

    std::filesystem::path homeDirectory() const override { return home_; }

private:
    std::filesystem::path home_;
};

} // namespace cairnmoor
