#include "buildinfo/BuildInfo.hpp"

#include "platform/BuildConstants.hpp"
#include "platform/CodeSignature.hpp"
#include "platform/FileManager.hpp"
#include "platform/Sha256.hpp"

namespace cairnmoor::BuildInfo {

const char* author() {
    return buildconstants::publisher;
}
const char* publisherDomain() {
    return buildconstants::publisherDomain;
}
const char* toolsUrl() {
    return buildconstants::toolsUrl;
}
const char* privacyUrl() {
    return buildconstants::privacyUrl;
}
const char* donationUrl() {
    return buildconstants::donationUrl;
}
const char* authorUrl() {
    return buildconstants::publisherUrl;
}
const char* bundleIdentifier() {
    return buildconstants::bundleIdentifier;
}

std::string version(const Bundle& bundle) {
    return bundle.infoString("CFBundleShortVersionString").value_or("0.0.0");
}

std::string buildDate(const Bundle& bundle) {
    return bundle.infoString("BuildDate").value_or("unknown");
}

std::string publisher(const Bundle& bundle) {
    return bundle.infoString("NSHumanReadableCopyright").value_or("Tallowin");
}

std::optional<std::filesystem::path> executableURL(const Bundle& bundle) {
    return bundle.executablePath();
}

std::optional<std::string> executableSHA256(const Bundle& bundle) {
    const auto executable = executableURL(bundle);
    if (!executable) {
        return std::nullopt;
    }
    try {
        return Sha256::hexDigest(FileManager::defaultManager().contentsOfFile(*executable));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

SignatureState signature(const Bundle& bundle) {
    const CodeSignature::Info info = CodeSignature::inspect(bundle.bundlePath());
    return SignatureState{info.valid, info.authority, info.teamIdentifier};
}

} // namespace cairnmoor::BuildInfo
