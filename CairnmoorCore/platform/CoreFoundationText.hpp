#pragma once

// macOS only: included by the *_mac.cpp sources.
#include <CoreFoundation/CoreFoundation.h>
#include <optional>
#include <string>

namespace cairnmoor {

// The UTF-8 text of a CoreFoundation string; none for a null string or one that
// cannot be converted.
std::optional<std::string> utf8String(CFStringRef text);

} // namespace cairnmoor
