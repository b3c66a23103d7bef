#pragma once

#include "managers/PackageManager.hpp"
#include "platform/FileManager.hpp"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor::PackageManagerLocator {

// The processor architecture this executable was built for ("arm64" or "x86_64").
std::string_view architecture();

std::vector<std::string> knownPaths(PackageManager manager, std::string_view architecture);

inline constexpr const char* testKnownPathsVariable = "CAIRNMOOR_TEST_BREW_KNOWN_PATHS";
// Whether this build honours `testKnownPathsVariable`.
bool honoursTestKnownPaths();

// The absolute path of a usable executable of the manager, or none. MacPorts is only
// ever /opt/local/bin/port and only when it passes the trust check; Homebrew is looked
// for at its known paths, then on PATH (absolute pieces only).
//
// Test builds (CAIRNMOOR_TEST_HOOKS, never a release) read Homebrew's known paths from
// `testKnownPathsVariable` when the environment has it (colon-separated; empty: none), so
// tests reach a fake on PATH on a Mac that has Homebrew in its usual place.
std::optional<std::string> resolve(PackageManager manager, const FileManager& fileManager,
                                   const std::map<std::string, std::string>& environment);

// The sentence for when resolve() found nothing: for MacPorts it names what is looked for,
// since a port that is there but not trusted is not found either.
std::string notFoundSentence(PackageManager manager);

} // namespace cairnmoor::PackageManagerLocator

namespace cairnmoor::BrewLocator {

std::vector<std::string> knownPaths();
std::optional<std::string> resolve(const FileManager& fileManager,
                                   const std::map<std::string, std::string>& environment);

} // namespace cairnmoor::BrewLocator
