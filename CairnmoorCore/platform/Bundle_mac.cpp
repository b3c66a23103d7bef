#include "platform/Bundle.hpp"
#include "platform/CoreFoundationText.hpp"

#include <CoreFoundation/CoreFoundation.h>
#include <mach-o/dyld.h>
#include <system_error>
#include <vector>

namespace cairnmoor {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> toPath(CFURLRef url) {
    if (url == nullptr) {
        return std::nullopt;
    }
    char buffer[4096];
    const bool ok = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(buffer),
                                                     sizeof buffer);
    CFRelease(url);
    if (!ok) {
        return std::nullopt;
    }
    return fs::path(buffer);
}

void copyEntry(const void* key, const void* value, void* context) {
    auto& dictionary = *static_cast<InfoDictionary*>(context);
    if (CFGetTypeID(key) != CFStringGetTypeID()) {
        return;
    }
    const auto name = utf8String(static_cast<CFStringRef>(key));
    if (!name) {
        return;
    }
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID()) {
        if (auto text = utf8String(static_cast<CFStringRef>(value))) {
            dictionary[*name] = *text;
        }
    } else if (type == CFBooleanGetTypeID()) {
        dictionary[*name] = CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0;
    } else if (type == CFNumberGetTypeID()) {
        std::int64_t number = 0;
        if (CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number)) {
            dictionary[*name] = number;
        }
    }
}

std::optional<fs::path> executableFromLoader() {
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1);
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
        return std::nullopt;
    }
    std::error_code error;
    fs::path path = fs::canonical(buffer.data(), error);
    return error ? std::nullopt : std::optional(path);
}

} // namespace

const Bundle& Bundle::main() {
    static const Bundle bundle = [] {
        CFBundleRef main = CFBundleGetMainBundle();
        InfoDictionary info;
        std::optional<fs::path> bundlePath;
        std::optional<fs::path> resources;
        std::optional<fs::path> executable;
        if (main != nullptr) {
            if (CFDictionaryRef dictionary = CFBundleGetInfoDictionary(main)) {
                CFDictionaryApplyFunction(dictionary, copyEntry, &info);
            }
            bundlePath = toPath(CFBundleCopyBundleURL(main));
            resources = toPath(CFBundleCopyResourcesDirectoryURL(main));
            executable = toPath(CFBundleCopyExecutableURL(main));
        }
        if (!executable) {
            executable = executableFromLoader();
        }
        const bool isAppBundle = bundlePath && bundlePath->extension() == ".app";
        if (!isAppBundle) {
            // A bare executable (build tree, or an install prefix from a package
            // manager): resources sit in share/cairnmoor beside bin/, and the
            // information dictionary is the one written into the build.
            const fs::path prefix =
                executable ? executable->parent_path().parent_path() : fs::current_path();
            std::error_code error;
            const fs::path shared = prefix / "share" / "cairnmoor";
            bundlePath = prefix;
            resources = fs::is_directory(shared, error) ? std::optional(shared) : std::nullopt;
            for (auto& [key, value] : builtInInfoDictionary()) {
                info.try_emplace(key, value);
            }
        }
        return Bundle(bundlePath.value_or(fs::current_path()), resources, executable, info);
    }();
    return bundle;
}

} // namespace cairnmoor
