#pragma once

#include "platform/Posix.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cairnmoor {

// The folder of a file a run writes for whoever started it (the report, the log), held
// open for the run: every file is created relative to this descriptor, never through a
// link at its own name, with mode 0644 whatever sat there before, so even root writes
// exactly where it meant to.
class OutputFolder {
public:
    // Why `file` must not be written, in a few words naming the path, or none: something
    // at the path that is not a regular file (a folder, a FIFO, a device); as root also a
    // folder on the way that another account could change (a sticky folder of root's,
    // such as /tmp, is fine: the file is created safely in it).
    static std::optional<std::string> refusal(const std::filesystem::path& file, bool asRoot);

    // Opens the folder that holds `file`, creating it and missing parents first; when a
    // later one cannot be made, those it made are removed again. Throws FileError.
    explicit OutputFolder(const std::filesystem::path& file);

    const std::filesystem::path& path() const { return path_; }

    // Replaces `name` as a whole: a temporary file is written, flushed to disk and renamed
    // over it, so a reader never sees half of it; on failure the earlier file stays and
    // no temporary file remains. Throws FileError.
    void replace(const std::string& name, std::string_view data) const;

    // Creates `name` exclusively or, when something of that name exists, the first free
    // "-2", "-3", ... name before the extension; opened for appending. `name` becomes the
    // name created. Throws FileError.
    posix::FileDescriptor createNew(std::string& name) const;

private:
    std::filesystem::path path_;
    posix::FileDescriptor folder_;
};

// Flushes the file's data to the disk itself (on macOS fsync only reaches the drive's
// cache). False with errno set when that fails.
bool syncToDisk(int fd);

} // namespace cairnmoor
