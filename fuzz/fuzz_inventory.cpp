// Inventory parsing for both managers: any output either parses or fails with
// PackageManagerError, and every accepted Homebrew name passes the Homebrew name rule.
#include "managers/InstalledProbe.hpp"
#include "managers/PackageManagerError.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace cairnmoor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    for (;;) {
        const auto end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    for (const PackageManager manager : PackageManager::allCases) {
        try {
            for (const std::string& name : InstalledProbe::parse(lines, manager)) {
                if (name.empty()) {
                    __builtin_trap();
                }
                if (manager == PackageManager::homebrew && !manager.isValidPackageName(name)) {
                    __builtin_trap();
                }
            }
        } catch (const PackageManagerError&) {
        }
    }
    return 0;
}
