#include "platform/CodeSignature.hpp"

#include <CoreFoundation/CoreFoundation.h>
#include <Security/Security.h>
#include <vector>

namespace cairnmoor::CodeSignature {

namespace {

template <typename T>
struct CFReleaser {
    T ref = nullptr;
    ~CFReleaser() {
        if (ref != nullptr) {
            CFRelease(ref);
        }
    }
};

std::optional<std::string> toString(CFStringRef text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const CFIndex length = CFStringGetLength(text);
    const CFIndex size = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    if (!CFStringGetCString(text, buffer.data(), size, kCFStringEncodingUTF8)) {
        return std::nullopt;
    }
    return std::string(buffer.data());
}

} // namespace

Info inspect(const std::filesystem::path& bundlePath) {
    Info info;
    const std::string text = bundlePath.string();
    CFReleaser<CFURLRef> url{CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
        static_cast<CFIndex>(text.size()), true)};
    if (url.ref == nullptr) {
        return info;
    }
    CFReleaser<SecStaticCodeRef> code;
    if (SecStaticCodeCreateWithPath(url.ref, kSecCSDefaultFlags, &code.ref) != errSecSuccess ||
        code.ref == nullptr) {
        return info;
    }
    info.valid = SecStaticCodeCheckValidity(code.ref, kSecCSDefaultFlags, nullptr) == errSecSuccess;

    CFReleaser<CFDictionaryRef> signing;
    if (SecCodeCopySigningInformation(code.ref, kSecCSSigningInformation, &signing.ref) !=
            errSecSuccess ||
        signing.ref == nullptr || CFGetTypeID(signing.ref) != CFDictionaryGetTypeID()) {
        return info;
    }
    const void* certificates = CFDictionaryGetValue(signing.ref, kSecCodeInfoCertificates);
    if (certificates != nullptr && CFGetTypeID(certificates) == CFArrayGetTypeID() &&
        CFArrayGetCount(static_cast<CFArrayRef>(certificates)) > 0) {
        const void* leaf = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(certificates), 0);
        if (leaf != nullptr && CFGetTypeID(leaf) == SecCertificateGetTypeID()) {
            CFReleaser<CFStringRef> name;
            if (SecCertificateCopyCommonName(
                    static_cast<SecCertificateRef>(const_cast<void*>(leaf)), &name.ref) ==
                    errSecSuccess &&
                name.ref != nullptr) {
                info.authority = toString(name.ref);
            }
        }
    }
    const void* team = CFDictionaryGetValue(signing.ref, kSecCodeInfoTeamIdentifier);
    if (team != nullptr && CFGetTypeID(team) == CFStringGetTypeID()) {
        info.teamIdentifier = toString(static_cast<CFStringRef>(team));
    }
    return info;
}

} // namespace cairnmoor::CodeSignature
