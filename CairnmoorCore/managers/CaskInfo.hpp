#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// What Homebrew says about a cask that matters before installing it: its current token
// (a cask can be renamed, or asked for by its tap-qualified name) and the app bundles
// it puts in the Applications folder.
struct CaskInfo {
    std::string token;
    // Where its app bundles go, relative to an Applications folder: "Firefox.app", "Sub/Foo.app".
    std::vector<std::string> apps;

    bool operator==(const CaskInfo&) const = default;
};

namespace CaskInfoReading {

// "info --json=v2 --cask NAME...": one command for every cask asked about.
std::vector<std::string> arguments(const std::vector<std::string>& names);

// Reads that command's output. Each name asked for maps to the cask entry whose token,
// full token, short token or one of its old tokens it is; a name Homebrew did not
// describe is left out. An `app` artifact is a bundle's path, or one with a "target" under
// which it is installed; one that does not put a bundle in an Applications folder (no
// bundle, "..", a target of "/" or outside those folders) is left out of its cask alone.
// Throws DecodingError when the document is not of that shape.
std::map<std::string, CaskInfo> parse(std::string_view json, const std::vector<std::string>& names);

// The last part of a tap-qualified name ("user/tap/thing" gives "thing"): what
// `brew list` prints for it.
std::string_view shortName(std::string_view name);

} // namespace CaskInfoReading

} // namespace cairnmoor
