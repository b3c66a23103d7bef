#include "platform/FileManager.hpp"

#include "platform/FileError.hpp"
#include "platform/PlatformDirectories.hpp"
#include "platform/Posix.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace cairnmoor {

namespace fs = std::filesystem;

fs::path FileManager::homeDirectory() const {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return fs::path(home);
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return fs::path(entry->pw_dir);
    }
    return fs::path("/");
}

std::vector<fs::path> FileManager::applicationSupportDirectories() const {
    if (auto library = platformLibraryDirectory(homeDirectory())) {
        return {*library / "Application Support"};
    }
    return {};
}

std::vector<fs::path> FileManager::applicationsDirectories() const {
    return {"/Applications", homeDirectory() / "Applications"};
}

std::vector<fs::path> FileManager::libraryDirectories() const {
    if (auto library = platformLibraryDirectory(homeDirectory())) {
        return {*library};
    }
    return {};
}

bool FileManager::fileExists(const fs::path& path) const {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool FileManager::isExecutableFile(const fs::path& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    return ::access(path.c_str(), X_OK) == 0;
}

FileAttributes FileManager::attributesOfItem(const fs::path& path) const {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        throw FileError(path, errno);
    }
    FileAttributes attributes;
    attributes.ownerAccountID = static_cast<std::uint32_t>(info.st_uid);
    attributes.posixPermissions = static_cast<std::uint32_t>(info.st_mode & 07777);
    if (S_ISREG(info.st_mode)) {
        attributes.type = FileType::regular;
    } else if (S_ISDIR(info.st_mode)) {
        attributes.type = FileType::directory;
    } else if (S_ISLNK(info.st_mode)) {
        attributes.type = FileType::symbolicLink;
    } else {
        attributes.type = FileType::other;
    }
    return attributes;
}

fs::path FileManager::resolvingSymlinks(const fs::path& path) const {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return path;
    }
    return fs::path(resolved);
}

std::string FileManager::contentsOfFile(const fs::path& path, std::uint64_t sizeLimit) const {
    const posix::FileDescriptor fd(posix::retryOnInterrupt(
        [&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }));
    if (!fd) {
        throw FileError(path, errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        throw FileError(path, errno);
    }
    // A directory or a FIFO is not a document; reading one would fail late or block.
    if (S_ISDIR(info.st_mode)) {
        throw FileError(path, EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        throw FileError(path, "Not a regular file");
    }
    const auto tooLarge = [&] {
        return FileError(path, "The file is larger than " + std::to_string(sizeLimit >> 20) +
                                   " MiB, too large to be read");
    };
    if (info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) > sizeLimit) {
        throw tooLarge();
    }
    std::string data;
    if (info.st_size > 0) {
        data.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t count =
            posix::retryOnInterrupt([&] { return ::read(fd.get(), buffer, sizeof buffer); });
        if (count < 0) {
            throw FileError(path, errno);
        }
        if (count == 0) {
            break;
        }
        // The file may grow while we read it.
        if (data.size() + static_cast<std::size_t>(count) > sizeLimit) {
            throw tooLarge();
        }
        data.append(buffer, static_cast<std::size_t>(count));
    }
    return data;
}

void FileManager::createDirectory(const fs::path& path, bool withIntermediateDirectories) const {
    std::error_code error;
    if (withIntermediateDirectories) {
        fs::create_directories(path, error);
    } else {
        fs::create_directory(path, error);
    }
    if (error) {
        throw FileError(path, error.value());
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        throw FileError(path, ENOTDIR);
    }
}

namespace {

std::string temporarySuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix(10, 'x');
    for (char& c : suffix) {
        c = alphabet[generator() % (sizeof alphabet - 1)];
    }
    return suffix;
}

} // namespace

void FileManager::writeAtomically(const fs::path& path, std::string_view data) const {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    fs::path temporary;
    posix::FileDescriptor fd;
    for (int attempt = 0; attempt < 16 && !fd; ++attempt) {
        // Built by appending: GCC 12 at -O3 misreports the equivalent chain of "+" as an
        // overlapping copy (-Wrestrict).
        std::string name = ".";
        name.append(path.filename().string()).append(".").append(temporarySuffix()).append(".tmp");
        temporary = folder / name;
        fd = posix::FileDescriptor(posix::retryOnInterrupt([&] {
            return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        }));
        if (!fd && errno != EEXIST) {
            throw FileError(path, errno);
        }
    }
    if (!fd) {
        throw FileError(path, EEXIST);
    }
    try {
        // Keep the mode of the file being replaced (a script stays executable).
        struct stat existing {};
        if (::stat(path.c_str(), &existing) == 0) {
            ::fchmod(fd.get(), existing.st_mode & 07777);
        }
        if (!posix::writeAll(fd.get(), data)) {
            throw FileError(path, errno);
        }
        if (posix::syncToStorage(fd.get()) != 0) {
            throw FileError(path, errno);
        }
        if (fd.close() != 0) {
            throw FileError(path, errno);
        }
        if (::rename(temporary.c_str(), path.c_str()) != 0) {
            throw FileError(path, errno);
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // Make the rename itself durable.
    const posix::FileDescriptor directory(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory) {
        posix::syncToStorage(directory.get());
    }
}

void FileManager::createEmptyFile(const fs::path& path) const {
    const posix::FileDescriptor fd(posix::retryOnInterrupt(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); }));
    if (!fd) {
        throw FileError(path, errno);
    }
}

void FileManager::setPosixPermissions(const fs::path& path, mode_t mode) const {
    if (::chmod(path.c_str(), mode) != 0) {
        throw FileError(path, errno);
    }
}

const FileManager& FileManager::defaultManager() {
    static const FileManager manager;
    return manager;
}

} // namespace cairnmoor
