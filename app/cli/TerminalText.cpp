#include "cli/TerminalText.hpp"

#include "platform/Utf8.hpp"

namespace cairnmoor::CLI {
namespace {

std::string hexDigits(unsigned value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

// Control characters as backslash escapes, ill-formed UTF-8 as U+FFFD; in a literal
// also quotes, backslashes and tabs.
std::string escaped(std::string_view text, bool literal) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            bool valid = false;
            const auto* at = reinterpret_cast<const unsigned char*>(text.data()) + i;
            const std::size_t length = Utf8::characterLength(at, at + (text.size() - i), valid);
            if (!valid) {
                result += "\xEF\xBF\xBD";
                i += length;
            } else if (byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
                // U+0080 to U+009F, the second set of control characters (CSI among them).
                result += "\\u{" + hexDigits(static_cast<unsigned char>(text[i + 1])) + "}";
                i += 2;
            } else {
                result.append(text, i, length);
                i += length;
            }
            continue;
        }
        ++i;
        switch (byte) {
        case '"':
            result += literal ? "\\\"" : "\"";
            break;
        case '\\':
            result += literal ? "\\\\" : "\\";
            break;
        case '\0':
            result += "\\0";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += literal ? "\\t" : "\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                result += "\\u{" + hexDigits(byte) + "}";
            } else {
                result += static_cast<char>(byte);
            }
        }
    }
    return result;
}

} // namespace

std::string stringLiteral(std::string_view text) {
    return '"' + escaped(text, true) + '"';
}

std::string displayText(std::string_view text) {
    return escaped(text, false);
}

std::string stateText(const PackageState& state) {
    if (state.kind == PackageState::Kind::failed) {
        return "failed(" + stringLiteral(state.message) + ")";
    }
    return std::string(state.caseName());
}

} // namespace cairnmoor::CLI
