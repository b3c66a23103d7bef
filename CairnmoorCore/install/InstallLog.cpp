#include "install/InstallLog.hpp"

#include "platform/FileError.hpp"
#include "platform/OutputFolder.hpp"
#include "platform/Posix.hpp"

#include <cstdio>
#include <ctime>
#include <fcntl.h>

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

void createParentDirectory(const std::filesystem::path& path, const FileManager& fileManager) {
    fileManager.createDirectory(path.parent_path(), true);
}

std::filesystem::path createFile(const std::filesystem::path& path) {
    return File::create(path).path();
}

namespace {

bool writeRecord(int fd, std::string_view line) {
    std::string record;
    record.reserve(line.size() + 1);
    record.append(line);
    record.push_back('\n');
    // One write for the whole record, so lines from two threads never interleave.
    return posix::writeAll(fd, record);
}

} // namespace

std::string commandLine(PackageManager manager, const std::vector<std::string>& arguments) {
    std::string line = "$ " + std::string(manager.executableName());
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

bool appendLine(const std::filesystem::path& path, std::string_view line) {
    // Not created here: a log file someone removed during the run stays removed.
    const posix::FileDescriptor file(posix::retryOnInterrupt(
        [&] { return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC); }));
    return file && writeRecord(file.get(), line);
}

File File::create(const std::filesystem::path& path) {
    const OutputFolder folder(path);
    std::string name = path.filename().string();
    posix::FileDescriptor fd = folder.createNew(name);
    return File(folder.path() / name, std::move(fd));
}

bool File::appendLine(std::string_view line) const {
    return writeRecord(fd_.get(), line);
}

} // namespace cairnmoor::InstallLog
