#include "platform/Utf8.hpp"

#include <cstdint>
#include <cstring>

namespace cairnmoor::Utf8 {
namespace {

// The expected length of a UTF-8 sequence starting with `lead` and the range its
// second byte must fall in (no overlong forms, no surrogates, nothing above U+10FFFF);
// 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead, unsigned char& low, unsigned char& high) {
    low = 0x80;
    high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
        return 4;
    }
    return 0;
}

} // namespace

std::size_t characterLength(const unsigned char* p, const unsigned char* end, bool& valid) {
    unsigned char low;
    unsigned char high;
    const std::size_t length = sequenceLength(*p, low, high);
    valid = false;
    if (length == 0 || end - p < 2 || p[1] < low || p[1] > high) {
        return 1;
    }
    std::size_t taken = 2;
    while (taken < length && p + taken < end && (p[taken] & 0xC0) == 0x80) {
        ++taken;
    }
    valid = taken == length;
    return taken;
}

bool isValid(const unsigned char* p, std::size_t size) {
    const unsigned char* end = p + size;
    while (p < end) {
        // Plain ASCII goes eight bytes at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) != 0) {
                break;
            }
            p += 8;
        }
        if (p == end) {
            break;
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        bool valid;
        p += characterLength(p, end, valid);
        if (!valid) {
            return false;
        }
    }
    return true;
}

void assignRepaired(std::string& out, const unsigned char* p, std::size_t size) {
    out.clear();
    const unsigned char* end = p + size;
    while (p < end) {
        if (*p < 0x80) {
            out.push_back(static_cast<char>(*p++));
            continue;
        }
        bool valid;
        const std::size_t length = characterLength(p, end, valid);
        if (valid) {
            out.append(reinterpret_cast<const char*>(p), length);
        } else {
            out.append("\xEF\xBF\xBD");
        }
        p += length;
    }
}

} // namespace cairnmoor::Utf8
