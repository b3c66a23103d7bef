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

// The running executable with every symbolic link resolved. The loader reports the path
// the program was started by, so a link on PATH would otherwise make its folder the main
// bundle (CFBundleGetMainBundle does exactly that) and the catalogue would not be found.
std::optional<fs::path> runningExecutable() {
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

// "<name>.app" when the executable is its Contents/MacOS/<executable>.
std::optional<fs::path> enclosingAppBundle(const fs::path& executable) {
    const fs::path macOS = executable.parent_path();
    const fs::path contents = macOS.parent_path();
    const fs::path app = contents.parent_path();
    if (macOS.filename() == "MacOS" && contents.filename() == "Contents" &&
        app.extension() == ".app") {
        return app;
    }
    return std::nullopt;
}

std::optional<Bundle> openAppBundle(const fs::path& app, const fs::path& executable) {
    const std::string text = app.string();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.c_str()),
        static_cast<CFIndex>(text.size()), true);
    if (url == nullptr) {
        return std::nullopt;
    }
    CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
    CFRelease(url);
    if (bundle == nullptr) {
        return std::nullopt;
    }
    InfoDictionary info;
    if (CFDictionaryRef dictionary = CFBundleGetInfoDictionary(bundle)) {
        CFDictionaryApplyFunction(dictionary, copyEntry, &info);
    }
    auto resources = toPath(CFBundleCopyResourcesDirectoryURL(bundle));
    CFRelease(bundle);
    return Bundle(app, std::move(resources), executable, std::move(info));
}

} // namespace

const Bundle& Bundle::main() {
    static const Bundle bundle = [] {
        const auto executable = runningExecutable();
        if (executable) {
            if (const auto app = enclosingAppBundle(*executable)) {
                if (auto opened = openAppBundle(*app, *executable)) {
                    return std::move(*opened);
                }
            }
        }
        // A bare executable: the build tree, or an install prefix from a package manager.
        return forBareExecutable(executable);
    }();
    return bundle;
}

} // namespace cairnmoor
