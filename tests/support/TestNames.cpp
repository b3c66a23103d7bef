#include "support/TestNames.hpp"

namespace cairnmoor::testing {

std::string testNameText(std::string_view text) {
    static constexpr std::string_view plain =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-+@/";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result = text.empty() ? "empty" : "";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        result += plain.find(c) != plain.npos ? std::string(1, c)
                                              : std::string{'%', hex[byte >> 4], hex[byte & 0x0F]};
    }
    return result;
}

} // namespace cairnmoor::testing

namespace cairnmoor {

void PrintTo(PackageManager manager, std::ostream* os) {
    *os << manager.rawValue();
}

} // namespace cairnmoor
