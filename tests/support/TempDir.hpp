#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace cairnmoor::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    TempDir(TempDir&&) = delete; // and so neither copied nor assigned: one owner removes it

    const std::filesystem::path& path() const noexcept { return path_; }
    std::filesystem::path operator/(std::string_view relative) const { return path_ / relative; }

    // Writes a file (creating its folders) and returns its path.
    std::filesystem::path write(std::string_view relative, std::string_view contents) const;

private:
    std::filesystem::path path_;
    std::error_code ignored_; // a folder left behind fails no test
};

std::string readFile(const std::filesystem::path& path);

// A UTF-8 locale the system has: macOS has C.UTF-8 only from 15, a minimal Debian has no
// en_US.UTF-8, and a missing one makes bash print warnings into compared output.
#ifdef __APPLE__
inline constexpr const char* utf8Locale = "en_US.UTF-8";
#else
inline constexpr const char* utf8Locale = "C.UTF-8";
#endif

} // namespace cairnmoor::testing
