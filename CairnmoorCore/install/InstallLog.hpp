#pragma once

#include "platform/FileManager.hpp"

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

// Where an in-window run's log file lives and how its lines are written.
namespace cairnmoor::InstallLog {

// <Library>/Logs/Cairnmoor/Cairnmoor-<host with "/" as "-">-<yyyyMMdd-HHmmss local>.log;
// home/Library when the platform reports no Library folder. Creates nothing.
std::filesystem::path path(const std::string& host, std::chrono::system_clock::time_point date,
                           const FileManager& fileManager);
// Creates the folder holding the file, with missing parents. Throws FileError.
void createParentDirectory(const std::filesystem::path& url, const FileManager& fileManager);
// Creates the run's empty log file at `url` or, when a file of that name exists (an
// earlier run in the same second), at the first free "-2", "-3", ... name before
// ".log"; created exclusively, so an earlier run's lines are never lost. Returns the
// path created. Throws FileError.
std::filesystem::path createFile(const std::filesystem::path& url);
// Appends the line and one line feed (open, seek to end, write, close). False when the
// file could not be opened or written; the caller drops the line silently.
bool appendLine(const std::filesystem::path& url, std::string_view line);

} // namespace cairnmoor::InstallLog
