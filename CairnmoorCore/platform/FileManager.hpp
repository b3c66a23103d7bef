#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace cairnmoor {

enum class FileType { regular, directory, symbolicLink, other };

// Attributes of one item, not following a final symbolic link. A field the system
// could not report is none.
struct FileAttributes {
    std::optional<std::uint32_t> ownerAccountID;
    std::optional<std::uint32_t> posixPermissions; // the permission bits only (mask 07777)
    std::optional<FileType> type;

    bool operator==(const FileAttributes&) const = default;
};

// Every file-system service the core uses. The default is the real POSIX file system;
// tests substitute their own to stage homes, owners, modes and failures.
class FileManager {
public:
    virtual ~FileManager() = default;

    // $HOME when set and not empty, else the password database's home directory.
    virtual std::filesystem::path homeDirectory() const;
    // The user's Application Support folders (macOS: ~/Library/Application Support).
    // Empty where the platform has none; callers then fall back to the home directory.
    virtual std::vector<std::filesystem::path> applicationSupportDirectories() const;
    // The user's Library folders (macOS: ~/Library). Empty elsewhere.
    virtual std::vector<std::filesystem::path> libraryDirectories() const;
    // Where app bundles live: /Applications, then the home directory's Applications.
    virtual std::vector<std::filesystem::path> applicationsDirectories() const;

    virtual bool fileExists(const std::filesystem::path& path) const;
    // A regular file (after following links) that the caller may execute.
    virtual bool isExecutableFile(const std::filesystem::path& path) const;
    // Attributes of the item itself (lstat); throws FileError when it cannot be read.
    virtual FileAttributes attributesOfItem(const std::filesystem::path& path) const;
    // The absolute path with every symbolic link resolved; the path itself when it
    // cannot be resolved (for example because it does not exist).
    virtual std::filesystem::path resolvingSymlinks(const std::filesystem::path& path) const;

    // Reads the whole file; throws FileError, also when it holds more than `sizeLimit`
    // bytes (so a huge or endless file is refused before it exhausts memory).
    virtual std::string contentsOfFile(const std::filesystem::path& path,
                                       std::uint64_t sizeLimit = UINT64_MAX) const;
    // Creates the folder (and missing parents when asked); an existing folder is fine.
    // Throws FileError.
    virtual void createDirectory(const std::filesystem::path& path,
                                 bool withIntermediateDirectories) const;
    // Replaces the file as a whole: a temporary file in the same folder is written,
    // flushed to disk and renamed over the target. On failure the earlier file is left
    // as it was and no temporary file remains. Throws FileError.
    virtual void writeAtomically(const std::filesystem::path& path, std::string_view data) const;
    // Creates an empty file, replacing an existing one. Throws FileError.
    virtual void createEmptyFile(const std::filesystem::path& path) const;
    // Throws FileError.
    virtual void setPosixPermissions(const std::filesystem::path& path, mode_t mode) const;

    static const FileManager& defaultManager();
};

} // namespace cairnmoor
