// Lines of Homebrew's fetch output: any line is read without failing, and news only ever
// names packages that were fetched, one alone for a package's turn or end.
// The first line holds the fetched packages, separated by spaces; each later line is read.
#include "managers/FetchOutput.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace cairnmoor;

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(end + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> lines =
        split(std::string_view(reinterpret_cast<const char*>(data), size), '\n');
    std::vector<std::string> packages;
    for (const std::string_view name : split(lines.front(), ' ')) {
        if (!name.empty()) {
            packages.emplace_back(name);
        }
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::optional<FetchNews> news = FetchOutput::read(lines[i], packages);
        if (!news) {
            continue;
        }
        if (news->packages.empty() ||
            (news->kind != FetchNews::Kind::started && news->packages.size() != 1)) {
            __builtin_trap();
        }
        for (const std::string& package : news->packages) {
            if (std::find(packages.begin(), packages.end(), package) == packages.end()) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
