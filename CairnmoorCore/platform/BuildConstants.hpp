#pragma once

// Values fixed when this build was configured (see the top-level CMakeLists.txt): the
// lowest layer holds them, so the bundle's built-in information needs nothing above it.
namespace cairnmoor::buildconstants {

extern const char* const version;
extern const char* const buildDate;
extern const char* const publisher;
extern const char* const publisherDomain;
extern const char* const publisherUrl;
extern const char* const toolsUrl;
extern const char* const privacyUrl;
extern const char* const donationUrl;
extern const char* const bundleIdentifier;

} // namespace cairnmoor::buildconstants
