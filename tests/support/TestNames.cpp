#include "support/TestNames.hpp"

namespace cairnmoor::testing {

std::string testNameText(std::string_view text) {
    if (text.empty()) {
        return "empty";
    }
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '.' || byte == '_' ||
                           byte == '-' || byte == '+' || byte == '@' || byte == '/';
        if (plain) {
            result.push_back(c);
        } else {
            result += '%';
            result += hex[byte >> 4];
            result += hex[byte & 0x0F];
        }
    }
    return result;
}

} // namespace cairnmoor::testing

namespace cairnmoor {

void PrintTo(PackageManager manager, std::ostream* os) {
    *os << manager.rawValue();
}

} // namespace cairnmoor
