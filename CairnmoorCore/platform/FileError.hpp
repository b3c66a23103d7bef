#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace cairnmoor {

// A failed file-system operation. The message names the file and the system's reason,
// e.g. "/Users/ann/team.cmprofile: No such file or directory".
class FileError : public std::runtime_error {
public:
    FileError(const std::filesystem::path& path, int errorNumber);
    FileError(const std::filesystem::path& path, const std::string& reason);

    const std::filesystem::path& path() const noexcept { return path_; }
    int errorNumber() const noexcept { return errorNumber_; }

private:
    std::filesystem::path path_;
    int errorNumber_ = 0;
};

} // namespace cairnmoor
