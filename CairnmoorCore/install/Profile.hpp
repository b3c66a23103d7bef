#pragma once

#include "catalogue/Catalog.hpp"
#include "install/InstallOptions.hpp"
#include "install/ProfilePackage.hpp"
#include "platform/FileManager.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// A saved selection of catalogue identifiers, and of packages the catalogue lacks, with
// its install options (*.cmprofile).
struct Profile {
    static constexpr const char* fileExtension = "cmprofile";

    std::int64_t schema = 2;
    std::string created;
    std::vector<std::string> apps;
    InstallOptions options;
    // Written only when there are some, so a profile without them keeps its exact form.
    std::vector<ProfilePackage> packages;

    // Now in UTC, e.g. "2026-12-05T18:39:05Z".
    static std::string iso8601Now();

    // Pretty-printed JSON with sorted keys; "packageManager" is always written. Throws
    // std::invalid_argument when a text is not valid UTF-8.
    std::string toData() const;
    // A profile (schema 2, created now, default options) of the packages: each one the
    // catalogue has becomes its id (the first such entry in catalogue order), every other
    // one stays a package. Duplicates are dropped; the order is kept.
    static Profile gathering(const std::vector<ProfilePackage>& packages, const Catalog& catalog);
    // The catalogue entry that installs the package, if any.
    static const AppEntry* catalogueEntry(const ProfilePackage& package, const Catalog& catalog);

    // The packages as the entries a run takes, in profile order, after the catalogue's.
    std::vector<AppEntry> packageEntries() const;

    // Throws DecodingError (debug detail "Timeout must be positive." for a timeout below 1;
    // a package with a bad name or kind names the entry in the message itself).
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
