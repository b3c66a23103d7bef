#include "managers/MacPortsExecutable.hpp"

#include "managers/CommandError.hpp"
#include "managers/ProcessRunner.hpp"
#include "platform/FileError.hpp"

namespace cairnmoor::MacPortsExecutable {

bool validate(std::string_view executablePath, const FileManager& fileManager,
              const std::function<bool(const std::string&)>& aclValidator) {
    if (executablePath != path) {
        return false;
    }
    if (!fileManager.isExecutableFile(path)) {
        return false;
    }
    for (const char* entry : pathChain) {
        const std::string component(entry);
        if (fileManager.resolvingSymlinks(component).string() != component) {
            return false;
        }
        FileAttributes attributes;
        try {
            attributes = fileManager.attributesOfItem(component);
        } catch (const std::exception&) {
            return false;
        }
        if (!attributes.ownerAccountID || !attributes.posixPermissions || !attributes.type) {
            return false;
        }
        const FileType expected = component == path ? FileType::regular : FileType::directory;
        if (*attributes.type != expected) {
            return false;
        }
        if (*attributes.ownerAccountID != 0) {
            return false;
        }
        if ((*attributes.posixPermissions & 022) != 0) {
            return false;
        }
        if (!aclValidator(component)) {
            return false;
        }
    }
    return true;
}

bool isTrusted(std::string_view executablePath, const FileManager& fileManager) {
    return validate(executablePath, fileManager,
                    [](const std::string& entry) { return hasSafeACL(entry); });
}

namespace {

bool grantsChange(std::string_view line) {
    static constexpr std::string_view permissions[] = {"write",    "append",           "delete",
                                                       "add_file", "add_subdirectory", "chown"};
    for (const std::string_view permission : permissions) {
        if (line.find(permission) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

bool safeACLListing(std::string_view listing) {
    while (!listing.empty()) {
        const auto end = listing.find('\n');
        const std::string_view line = listing.substr(0, end);
        if (line.find(" allow ") != std::string_view::npos && grantsChange(line)) {
            return false;
        }
        if (end == std::string_view::npos) {
            break;
        }
        listing.remove_prefix(end + 1);
    }
    return true;
}

bool hasSafeACL(const std::string& path, const std::string& lister,
                std::chrono::milliseconds timeLimit) {
    // The listing runs with a fixed environment of its own, never the user's.
    ProcessRunner runner;
    std::string listing;
    try {
        const CommandResult result = runner.run(
            "/usr/bin/env",
            {"-i", "PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LC_ALL=C", lister, "-lde", path},
            std::chrono::duration<double>(timeLimit).count(),
            [&listing](const std::string& line) { listing.append(line).push_back('\n'); });
        if (!result.succeeded()) {
            return false;
        }
    } catch (const CommandError&) {
        return false;
    }
    // Bytes that are not UTF-8 arrive replaced; the judgement only looks for ASCII
    // words, so the answer is the same as for the raw bytes.
    return safeACLListing(listing);
}

} // namespace cairnmoor::MacPortsExecutable
