#pragma once

#include "managers/PackageManager.hpp"
#include "platform/FileManager.hpp"
#include "platform/Posix.hpp"

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Where an in-window run's log file lives and how its lines are written.
namespace cairnmoor::InstallLog {

// <Library>/Logs/Cairnmoor/Cairnmoor-<host with "/" as "-">-<yyyyMMdd-HHmmss local>.log;
// home/Library when the platform reports no Library folder. Creates nothing.
std::filesystem::path path(const std::string& host, std::chrono::system_clock::time_point date,
                           const FileManager& fileManager);
// Creates the folder holding the file, with missing parents. Throws FileError.
void createParentDirectory(const std::filesystem::path& path, const FileManager& fileManager);
// Creates the run's empty log file at `path` or, when a file of that name exists (an
// earlier run in the same second), at the first free "-2", "-3", ... name before
// ".log"; created exclusively, so an earlier run's lines are never lost. Returns the
// path created. Throws FileError.
std::filesystem::path createFile(const std::filesystem::path& path);
// Appends the line and one line feed (open, seek to end, write, close). False when the
// file could not be opened or written; the caller drops the line silently.
bool appendLine(const std::filesystem::path& path, std::string_view line);

// How a command shows in the log: "$ brew install --cask alpha", the executable's name,
// never its full path.
std::string commandLine(PackageManager manager, const std::vector<std::string>& arguments);

// A run's log, opened once and written through that descriptor to the end: what is put
// at its name during the run (a link, another file) never receives a line.
class File {
public:
    // Creates the file as createFile does, relative to a descriptor of its folder (made
    // with missing parents when needed), never through a link, with mode 0644. Throws
    // FileError.
    static File create(const std::filesystem::path& path);

    // The path the file was created at.
    const std::filesystem::path& path() const { return path_; }
    // Appends the line and one line feed in one write, so lines from two threads never
    // interleave. False when it could not be written; the caller drops the line.
    bool appendLine(std::string_view line) const;

private:
    File(std::filesystem::path path, posix::FileDescriptor fd)
        : path_(std::move(path)), fd_(std::move(fd)) {}

    std::filesystem::path path_;
    posix::FileDescriptor fd_;
};

} // namespace cairnmoor::InstallLog
