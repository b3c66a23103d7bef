#include "managers/PackageManagerLocator.hpp"

#include "managers/MacPortsExecutable.hpp"

#include <algorithm>

namespace cairnmoor::PackageManagerLocator {

std::string_view architecture() {
#if defined(__aarch64__) || defined(__arm64__)
    return "arm64";
#else
    return "x86_64";
#endif
}

std::vector<std::string> knownPaths(PackageManager manager, std::string_view architecture) {
    if (manager == PackageManager::macports) {
        return {MacPortsExecutable::path};
    }
    if (architecture == "arm64") {
        return {"/opt/homebrew/bin/brew", "/usr/local/bin/brew"};
    }
    return {"/usr/local/bin/brew", "/opt/homebrew/bin/brew"};
}

bool honoursTestKnownPaths() {
#ifdef CAIRNMOOR_TEST_HOOKS
    return true;
#else
    return false;
#endif
}

namespace {

// The non-empty pieces of a colon-separated list.
std::vector<std::string> pieces(const std::string& list) {
    std::vector<std::string> found;
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto colon = std::min(list.find(':', start), list.size());
        if (colon > start) {
            found.push_back(list.substr(start, colon - start));
        }
        start = colon + 1;
    }
    return found;
}

std::string valueOf(const std::map<std::string, std::string>& environment, const char* name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
}

} // namespace

std::optional<std::string> resolve(PackageManager manager, const FileManager& fileManager,
                                   const std::map<std::string, std::string>& environment) {
    if (manager == PackageManager::macports) {
        if (MacPortsExecutable::isTrusted(MacPortsExecutable::path, fileManager)) {
            return std::string(MacPortsExecutable::path);
        }
        return std::nullopt;
    }
    std::vector<std::string> candidates = knownPaths(manager, architecture());
    if (honoursTestKnownPaths() && environment.contains(testKnownPathsVariable)) {
        candidates = pieces(valueOf(environment, testKnownPathsVariable));
    }
    for (const std::string& folder : pieces(valueOf(environment, "PATH"))) {
        candidates.push_back(folder + "/" + std::string(manager.executableName()));
    }
    for (const std::string& candidate : candidates) {
        if (candidate.starts_with('/') && fileManager.isExecutableFile(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string notFoundSentence(PackageManager manager) {
    if (manager == PackageManager::macports) {
        return "A trusted root-owned MacPorts installation at " +
               std::string(MacPortsExecutable::path) + " was not found.";
    }
    return std::string(manager.displayName()) + " was not found.";
}

} // namespace cairnmoor::PackageManagerLocator

namespace cairnmoor::BrewLocator {

std::vector<std::string> knownPaths() {
    return PackageManagerLocator::knownPaths(PackageManager::homebrew,
                                             PackageManagerLocator::architecture());
}

std::optional<std::string> resolve(const FileManager& fileManager,
                                   const std::map<std::string, std::string>& environment) {
    return PackageManagerLocator::resolve(PackageManager::homebrew, fileManager, environment);
}

} // namespace cairnmoor::BrewLocator
