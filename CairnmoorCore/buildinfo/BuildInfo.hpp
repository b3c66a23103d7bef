#pragma once

#include "buildinfo/SignatureState.hpp"
#include "platform/Bundle.hpp"

#include <filesystem>
#include <optional>
#include <string>

// What the program says about itself. Dictionary values are read from the bundle on
// every call; the links and names are fixed when the build is configured.
namespace cairnmoor::BuildInfo {

inline constexpr const char* product = "Cairnmoor";

// The configured publisher, who is also the author: one identity everywhere.
const char* author();
const char* publisherDomain(); // the wordmark and kicker text
const char* toolsUrl();
const char* privacyUrl();
const char* donationUrl();
const char* authorUrl(); // the publisher's profile page
const char* bundleIdentifier();

// "CFBundleShortVersionString", else "0.0.0".
std::string version(const Bundle& bundle = Bundle::main());
// "BuildDate", else "unknown".
std::string buildDate(const Bundle& bundle = Bundle::main());
// "NSHumanReadableCopyright", else "Tallowin".
std::string publisher(const Bundle& bundle = Bundle::main());

std::optional<std::filesystem::path> executableURL(const Bundle& bundle = Bundle::main());
// SHA-256 of the running executable file, 64 lower-case hex digits; none when unreadable.
std::optional<std::string> executableSHA256(const Bundle& bundle = Bundle::main());
SignatureState signature(const Bundle& bundle = Bundle::main());

} // namespace cairnmoor::BuildInfo
