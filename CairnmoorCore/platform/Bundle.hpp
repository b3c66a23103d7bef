#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace cairnmoor {

using InfoValue = std::variant<std::string, std::int64_t, bool>;
using InfoDictionary = std::map<std::string, InfoValue>;

// A folder of code and resources with an information dictionary. On macOS the main
// bundle is the app bundle; elsewhere it is the install prefix (bin/ beside
// share/cairnmoor/) or the build folder, and its information dictionary is the one
// generated at build time.
class Bundle {
public:
    Bundle(std::filesystem::path bundlePath, std::optional<std::filesystem::path> resourceDirectory,
           std::optional<std::filesystem::path> executablePath, InfoDictionary infoDictionary);

    // The bundle at a folder, or none when no folder is there. Its resources are in
    // "Contents/Resources" when that exists, else at the folder's top level.
    static std::optional<Bundle> atPath(const std::filesystem::path& path);
    static const Bundle& main();
    // The main bundle of an executable outside an app bundle (installed under a prefix, or
    // in the build tree): the prefix above its bin/ folder, resources in share/cairnmoor
    // when that exists, and the information dictionary written into the build.
    static Bundle forBareExecutable(const std::optional<std::filesystem::path>& executable);
    // The bundle holding the core library's code (the same as main() for a static build).
    static const Bundle& containingCoreLibrary();

    const std::filesystem::path& bundlePath() const noexcept { return bundlePath_; }
    const std::optional<std::filesystem::path>& resourceDirectory() const noexcept {
        return resourceDirectory_;
    }
    const std::optional<std::filesystem::path>& executablePath() const noexcept {
        return executablePath_;
    }
    const InfoDictionary& infoDictionary() const noexcept { return infoDictionary_; }

    // The resource "name.extension" in the resource directory, when it exists as a file.
    std::optional<std::filesystem::path> resourcePath(const std::string& resourceName,
                                                      const std::string& extension) const;
    // The value of a key when it is present and a string.
    std::optional<std::string> infoString(const std::string& key) const;

private:
    std::filesystem::path bundlePath_;
    std::optional<std::filesystem::path> resourceDirectory_;
    std::optional<std::filesystem::path> executablePath_;
    InfoDictionary infoDictionary_;
};

// The information dictionary written into this build (version, build date, publisher).
InfoDictionary builtInInfoDictionary();

} // namespace cairnmoor
