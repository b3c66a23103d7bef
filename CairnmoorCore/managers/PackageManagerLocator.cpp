#include "managers/PackageManagerLocator.hpp"

#include "managers/MacPortsExecutable.hpp"

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

std::optional<std::string> resolve(PackageManager manager, const FileManager& fileManager,
                                   const std::map<std::string, std::string>& environment) {
    if (manager == PackageManager::macports) {
        if (MacPortsExecutable::isTrusted(MacPortsExecutable::path, fileManager)) {
            return std::string(MacPortsExecutable::path);
        }
        return std::nullopt;
    }
    std::vector<std::string> candidates = knownPaths(manager, architecture());
    const auto path = environment.find("PATH");
    const std::string searchPath = path == environment.end() ? std::string() : path->second;
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const auto colon = std::min(searchPath.find(':', start), searchPath.size());
        if (colon > start) {
            candidates.push_back(searchPath.substr(start, colon - start) + "/" +
                                 std::string(manager.executableName()));
        }
        start = colon + 1;
    }
    for (const std::string& candidate : candidates) {
        if (candidate.starts_with('/') && fileManager.isExecutableFile(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
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
