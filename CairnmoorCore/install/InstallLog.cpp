#include "install/InstallLog.hpp"

#include "platform/FileError.hpp"
#include "platform/Posix.hpp"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cairnmoor::InstallLog {
namespace {

// "yyyyMMdd-HHmmss" in the user's local time.
std::string timeStamp(std::chrono::system_clock::time_point date) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        return "00000000-000000";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

// Enough to cover every run a person could start within one second.
constexpr int maxSuffix = 10000;

} // namespace

std::filesystem::path path(const std::string& host, std::chrono::system_clock::time_point date,
                           const FileManager& fileManager) {
    std::string hostPart = host;
    for (char& c : hostPart) {
        if (c == '/') {
            c = '-';
        }
    }
    const std::vector<std::filesystem::path> libraries = fileManager.libraryDirectories();
    const std::filesystem::path library =
        libraries.empty() ? fileManager.homeDirectory() / "Library" : libraries.front();
    return library / "Logs" / "Cairnmoor" /
           ("Cairnmoor-" + hostPart + "-" + timeStamp(date) + ".log");
}

void createParentDirectory(const std::filesystem::path& url, const FileManager& fileManager) {
    fileManager.createDirectory(url.parent_path(), true);
}

std::filesystem::path createFile(const std::filesystem::path& url) {
    const std::filesystem::path folder = url.parent_path();
    const std::string stem = url.stem().string();
    const std::string extension = url.extension().string();
    for (int suffix = 1; suffix <= maxSuffix; ++suffix) {
        const std::filesystem::path candidate =
            suffix == 1 ? url : folder / (stem + "-" + std::to_string(suffix) + extension);
        const int fd = posix::retryOnInterrupt([&] {
            return ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        });
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            throw FileError(candidate, errno);
        }
    }
    throw FileError(url, EEXIST);
}

bool appendLine(const std::filesystem::path& url, std::string_view line) {
    // Not created here: a log file someone removed during the run stays removed.
    posix::FileDescriptor file(posix::retryOnInterrupt(
        [&] { return ::open(url.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC); }));
    if (!file) {
        return false;
    }
    std::string record;
    record.reserve(line.size() + 1);
    record.append(line);
    record.push_back('\n');
    // One write for the whole record, so lines from two threads never interleave.
    const char* data = record.data();
    std::size_t remaining = record.size();
    while (remaining > 0) {
        const ssize_t written =
            posix::retryOnInterrupt([&] { return ::write(file.get(), data, remaining); });
        if (written <= 0) {
            return false;
        }
        data += written;
        remaining -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace cairnmoor::InstallLog
