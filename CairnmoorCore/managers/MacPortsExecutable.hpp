#pragma once

#include "platform/FileManager.hpp"

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

// The check that the MacPorts executable cannot have been replaced by an ordinary user:
// the one fixed path, root-owned, writable by nobody else, free of symbolic links and of
// access-control entries that grant changes, up to "/". Answers yes or no, never why.
namespace cairnmoor::MacPortsExecutable {

inline constexpr const char* path = "/opt/local/bin/port";
inline constexpr std::array<const char*, 5> pathChain = {"/opt/local/bin/port", "/opt/local/bin",
                                                         "/opt/local", "/opt", "/"};

bool isTrusted(std::string_view executablePath, const FileManager& fileManager);
bool validate(std::string_view executablePath, const FileManager& fileManager,
              const std::function<bool(const std::string&)>& aclValidator);
// Lists the path's access-control entries with `lister` -lde and judges them. A listing
// that has not finished within `timeLimit` (a hung network volume) is killed and counts
// as unsafe, so the check always ends.
bool hasSafeACL(const std::string& path, const std::string& lister = "/bin/ls",
                std::chrono::milliseconds timeLimit = std::chrono::seconds(5));
// False when a line holds " allow " and grants write, append, delete, add_file,
// add_subdirectory or chown.
bool safeACLListing(std::string_view listing);

} // namespace cairnmoor::MacPortsExecutable
