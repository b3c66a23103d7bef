#include "platform/CodeSignature.hpp"
#include "platform/CoreFoundationText.hpp"

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
                info.authority = utf8String(name.ref);
            }
        }
    }
    const void* team = CFDictionaryGetValue(signing.ref, kSecCodeInfoTeamIdentifier);
    if (team != nullptr && CFGetTypeID(team) == CFStringGetTypeID()) {
        info.teamIdentifier = utf8String(static_cast<CFStringRef>(team));
    }
    return info;
}

} // namespace cairnmoor::CodeSignature
