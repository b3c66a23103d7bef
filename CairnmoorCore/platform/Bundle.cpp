#include "platform/Bundle.hpp"

#include "platform/BuildConstants.hpp"

#include <dlfcn.h>
#include <system_error>

namespace cairnmoor {

namespace fs = std::filesystem;

Bundle::Bundle(fs::path bundlePath, std::optional<fs::path> resourceDirectory,
               std::optional<fs::path> executablePath, InfoDictionary infoDictionary)
    : bundlePath_(std::move(bundlePath)), resourceDirectory_(std::move(resourceDirectory)),
      executablePath_(std::move(executablePath)), infoDictionary_(std::move(infoDictionary)) {}

std::optional<Bundle> Bundle::atPath(const fs::path& path) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        return std::nullopt;
    }
    fs::path resources = path / "Contents" / "Resources";
    if (!fs::is_directory(resources, error)) {
        resources = path;
    }
    return Bundle(path, resources, std::nullopt, {});
}

Bundle Bundle::forBareExecutable(const std::optional<fs::path>& executable) {
    const fs::path prefix =
        executable ? executable->parent_path().parent_path() : fs::current_path();
    std::error_code error;
    fs::path resources = prefix / "share" / "cairnmoor";
    return Bundle(prefix,
                  fs::is_directory(resources, error) ? std::optional(resources) : std::nullopt,
                  executable, builtInInfoDictionary());
}

std::optional<fs::path> Bundle::resourcePath(const std::string& resourceName,
                                             const std::string& extension) const {
    if (!resourceDirectory_) {
        return std::nullopt;
    }
    fs::path candidate = *resourceDirectory_ / (resourceName + "." + extension);
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) {
        return candidate;
    }
    return std::nullopt;
}

std::optional<std::string> Bundle::infoString(const std::string& key) const {
    const auto found = infoDictionary_.find(key);
    if (found == infoDictionary_.end()) {
        return std::nullopt;
    }
    if (const auto* text = std::get_if<std::string>(&found->second)) {
        return *text;
    }
    return std::nullopt;
}

InfoDictionary builtInInfoDictionary() {
    return {
        {"CFBundleShortVersionString", std::string(buildconstants::version)},
        {"BuildDate", std::string(buildconstants::buildDate)},
        {"NSHumanReadableCopyright", std::string(buildconstants::publisher)},
        {"CFBundleIdentifier", std::string(buildconstants::bundleIdentifier)},
    };
}

namespace {

// Anything linked into the core library will do: its address names the image.
void coreLibraryAnchor() {}

} // namespace

const Bundle& Bundle::containingCoreLibrary() {
    static const Bundle bundle = [] {
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void*>(&coreLibraryAnchor), &info) != 0 &&
            info.dli_fname != nullptr) {
            std::error_code error;
            const fs::path image = fs::canonical(info.dli_fname, error);
            if (!error && image != main().executablePath()) {
                // A shared core library lives in lib/ beside bin/, under the same prefix.
                const fs::path prefix = image.parent_path().parent_path();
                fs::path resources = prefix / "share" / "cairnmoor";
                return Bundle(prefix,
                              fs::is_directory(resources, error) ? std::optional(resources)
                                                                 : std::nullopt,
                              image, {});
            }
        }
        return main();
    }();
    return bundle;
}

} // namespace cairnmoor
