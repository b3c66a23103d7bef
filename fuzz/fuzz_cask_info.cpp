// Homebrew's cask info: any bytes either parse or fail with DecodingError. Only names that
// were asked about come back, and each app is a bundle's name as it sits in a folder (never
// empty, never a path or "." or ".."), since the plan looks for it there.
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
                if (app.empty() || app == "." || app == ".." ||
                    app.find('/') != std::string::npos) {
                    __builtin_trap();
                }
            }
        }
    } catch (const DecodingError&) {
    }
    return 0;
}
