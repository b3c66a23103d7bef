#include "support/TestNames.hpp"

#include <cstdio>

namespace cairnmoor::testing {

std::string testNameText(std::string_view text) {
    static constexpr std::string_view plain =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-+@/";
    std::string result = text.empty() ? "empty" : "";
    for (const char c : text) {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
        result += plain.find(c) != plain.npos ? std::string(1, c) : escaped;
    }
    return result;
}

} // namespace cairnmoor::testing
