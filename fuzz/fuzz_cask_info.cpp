// Homebrew's cask info: any bytes either parse or fail with DecodingError. Only names that
// were asked about come back, and each app is a bundle's path relative to an Applications
// folder ("Foo.app", "Sub/Foo.app"): plain names only (never empty, "." or "..", never
// absolute or from "~"), the last one a bundle's, since the plan looks for it there.
// The first line holds the names asked about, separated by spaces; the rest is the document.
#include "managers/CaskInfo.hpp"
#include "platform/DecodingError.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace cairnmoor;

namespace {

bool isInApplications(std::string_view path) {
    if (path.starts_with('~') || !path.ends_with(".app") || path.size() <= 4) {
        return false;
    }
    for (std::size_t start = 0;;) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        if (slash == path.size()) {
            return part.size() > 4;
        }
        start = slash + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::vector<std::string> names;
    for (std::string_view first = text.substr(0, end); !first.empty();) {
        const std::size_t space = std::min(first.find(' '), first.size());
        names.emplace_back(first.substr(0, space));
        first.remove_prefix(std::min(space + 1, first.size()));
    }
    text.remove_prefix(std::min(end + 1, text.size()));
    try {
        for (const auto& [name, info] : CaskInfoReading::parse(text, names)) {
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                __builtin_trap();
            }
            for (const std::string& app : info.apps) {
                if (!isInApplications(app)) {
                    __builtin_trap();
                }
            }
        }
    } catch (const DecodingError&) {
    }
    return 0;
}
