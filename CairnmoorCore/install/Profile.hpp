#pragma once

#include "install/InstallOptions.hpp"
#include "platform/FileManager.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// A saved selection of catalogue identifiers with its install options (*.cmprofile).
struct Profile {
    static constexpr const char* fileExtension = "cmprofile";

    std::int64_t schema = 2;
    std::string created;
    std::vector<std::string> apps;
    InstallOptions options;

    // Now in UTC, e.g. "2026-12-05T18:39:05Z".
    static std::string iso8601Now();

    // Pretty-printed JSON with sorted keys; "packageManager" is always written. Throws
    // std::invalid_argument when a text is not valid UTF-8.
    std::string toData() const;
    // Throws DecodingError (debug detail "Timeout must be positive." for a timeout below 1).
    static Profile decode(std::string_view data);
    // Replaces the file as a whole; an earlier file stays intact on failure. Throws
    // FileError, or std::invalid_argument from toData().
    void write(const std::filesystem::path& url,
               const FileManager& fileManager = FileManager::defaultManager()) const;
    // Throws FileError or DecodingError.
    static Profile load(const std::filesystem::path& url,
                        const FileManager& fileManager = FileManager::defaultManager());

    bool operator==(const Profile&) const = default;
};

} // namespace cairnmoor
