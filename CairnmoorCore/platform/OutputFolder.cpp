#include "platform/OutputFolder.hpp"

#include "platform/FileError.hpp"
#include "platform/PathTrust.hpp"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

constexpr mode_t fileMode = 0644;
// Enough to cover every run a person could start within one second.
constexpr int maxSuffix = 10000;

std::string temporaryName(const std::string& name) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string result = ".";
    result.append(name).append(".");
    for (int i = 0; i < 10; ++i) {
        result.push_back(alphabet[generator() % (sizeof alphabet - 1)]);
    }
    return result.append(".tmp");
}

bool present(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

} // namespace

bool syncToDisk(int fd) {
#ifdef F_FULLFSYNC
    // Not every file system takes it; plain fsync is then the best there is.
    if (::fcntl(fd, F_FULLFSYNC) == 0) {
        return true;
    }
#endif
    return ::fsync(fd) == 0;
}

std::optional<std::string> OutputFolder::refusal(const fs::path& file, bool asRoot) {
    if (!file.has_filename()) {
        return file.string() + " names a folder, not a file";
    }
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return file.string() + " is a folder";
        }
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
            return file.string() + " is not a regular file";
        }
    }
    if (asRoot) {
        return PathTrust::problem(file, PathTrust::Trusted{}, false);
    }
    return std::nullopt;
}

OutputFolder::OutputFolder(const fs::path& file)
    : path_(file.has_parent_path() ? file.parent_path() : fs::path(".")) {
    std::vector<fs::path> missing;
    for (fs::path folder = path_; !folder.empty() && !present(folder);
         folder = folder.parent_path()) {
        missing.push_back(folder);
        if (folder == folder.parent_path()) {
            break;
        }
    }
    for (auto made = missing.rbegin(); made != missing.rend(); ++made) {
        if (::mkdir(made->c_str(), 0755) != 0 && errno != EEXIST) {
            const int error = errno;
            // Those made so far, deepest first.
            for (auto undo = made.base(); undo != missing.end(); ++undo) {
                ::rmdir(undo->c_str());
            }
            throw FileError(*made, error);
        }
    }
    folder_ = posix::FileDescriptor(posix::retryOnInterrupt(
        [&] { return ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!folder_) {
        throw FileError(path_, errno);
    }
}

void OutputFolder::replace(const std::string& name, std::string_view data) const {
    const fs::path target = path_ / name;
    std::string temporary;
    posix::FileDescriptor fd;
    for (int attempt = 0; attempt < 16 && !fd; ++attempt) {
        temporary = temporaryName(name);
        fd = posix::FileDescriptor(posix::retryOnInterrupt([&] {
            return ::openat(folder_.get(), temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, fileMode);
        }));
        if (!fd && errno != EEXIST) {
            throw FileError(target, errno);
        }
    }
    if (!fd) {
        throw FileError(target, EEXIST);
    }
    try {
        // The umask could have taken bits away; nothing else may add any.
        if (::fchmod(fd.get(), fileMode) != 0) {
            throw FileError(target, errno);
        }
        if (!posix::writeAll(fd.get(), data)) {
            throw FileError(target, errno);
        }
        if (!syncToDisk(fd.get()) || fd.close() != 0) {
            throw FileError(target, errno);
        }
        // What appeared at the name since the run began is not replaced by a file.
        struct stat info {};
        if (::fstatat(folder_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
            throw FileError(target, "Not a regular file");
        }
        if (::renameat(folder_.get(), temporary.c_str(), folder_.get(), name.c_str()) != 0) {
            throw FileError(target, errno);
        }
    } catch (...) {
        ::unlinkat(folder_.get(), temporary.c_str(), 0);
        throw;
    }
    // Makes the rename itself durable.
    ::fsync(folder_.get());
}

posix::FileDescriptor OutputFolder::createNew(std::string& name) const {
    const fs::path asked(name);
    const std::string stem = asked.stem().string();
    const std::string extension = asked.extension().string();
    for (int suffix = 1; suffix <= maxSuffix; ++suffix) {
        const std::string candidate =
            suffix == 1 ? name : stem + "-" + std::to_string(suffix) + extension;
        posix::FileDescriptor fd(posix::retryOnInterrupt([&] {
            return ::openat(folder_.get(), candidate.c_str(),
                            O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            fileMode);
        }));
        if (fd) {
            if (::fchmod(fd.get(), fileMode) != 0) {
                throw FileError(path_ / candidate, errno);
            }
            name = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            throw FileError(path_ / candidate, errno);
        }
    }
    throw FileError(path_ / name, EEXIST);
}

} // namespace cairnmoor
