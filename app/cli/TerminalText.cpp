#include "cli/TerminalText.hpp"

#include "platform/Utf8.hpp"

#include <utf8proc.h>

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

// The code point of one well-formed UTF-8 character.
char32_t decoded(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character.front());
    char32_t value = character.size() == 1 ? lead : lead & (0x7F >> character.size());
    for (const char byte : character.substr(1)) {
        value = (value << 6) | (static_cast<unsigned char>(byte) & 0x3F);
    }
    return value;
}

// Characters past ASCII that steer a terminal or hide text instead of showing: the second
// set of controls (CSI among them), format characters (the bidirectional overrides that
// make text read in another order, zero-width ones, the byte order mark) and the line and
// paragraph separators.
bool isInvisibleControl(char32_t character) {
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(character))) {
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
        return true;
    default:
        return false;
    }
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
            } else if (const char32_t character = decoded(text.substr(i, length));
                       isInvisibleControl(character)) {
                result += "\\u{" + hexDigits(character) + "}";
                i += length;
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
