// ACL listing judgement against an independent reading of the rule: a line with
// " allow " and one of the granting permissions (found by a regular expression) fails.
#include "managers/MacPortsExecutable.hpp"

#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>
#include <string_view>

using namespace cairnmoor;

namespace {

bool referenceJudgement(std::string_view listing) {
    static const std::regex granting("(write|append|delete|add_file|add_subdirectory|chown)");
    std::size_t start = 0;
    while (start <= listing.size()) {
        const auto end = std::min(listing.find('\n', start), listing.size());
        const std::string line(listing.substr(start, end - start));
        if (!line.empty() && line.find(" allow ") != std::string::npos &&
            std::regex_search(line, granting)) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8192) {
        return 0; // long inputs only slow the regular-expression reference down
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (MacPortsExecutable::safeACLListing(text) != referenceJudgement(text)) {
        __builtin_trap();
    }
    return 0;
}
