#pragma once

#include <map>
#include <string>

namespace cairnmoor::ProcessInfo {

// The environment of the running process (entries without "=" are left out).
std::map<std::string, std::string> environment();
// The machine's host name; empty when the system cannot tell.
std::string hostName();

} // namespace cairnmoor::ProcessInfo
