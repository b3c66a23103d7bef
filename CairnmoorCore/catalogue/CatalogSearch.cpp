#include "catalogue/CatalogSearch.hpp"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace cairnmoor::CatalogSearch {

namespace {

bool isAscii(std::string_view text) {
    // No early exit: the compiler turns this into a vector loop over short fields.
    unsigned char bits = 0;
    for (const char c : text) {
        bits |= static_cast<unsigned char>(c);
    }
    return bits < 0x80;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isWhitespaceOrNewline(utf8proc_int32_t codePoint) {
    if ((codePoint >= 0x09 && codePoint <= 0x0D) || codePoint == 0x85) {
        return true;
    }
    const utf8proc_category_t category = utf8proc_category(codePoint);
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
           category == UTF8PROC_CATEGORY_ZP;
}

// Decodes the code point at the front; an invalid sequence counts as one byte.
utf8proc_ssize_t decodeFront(std::string_view text, utf8proc_int32_t& codePoint) {
    const auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                         static_cast<utf8proc_ssize_t>(text.size()), &codePoint);
    if (length <= 0) {
        codePoint = -1;
        return 1;
    }
    return length;
}

// Length of the code point that ends the text; an invalid sequence counts as one byte.
std::size_t lastCodePoint(std::string_view text, utf8proc_int32_t& codePoint) {
    std::size_t start = text.size() - 1;
    const std::size_t lowest = text.size() >= 4 ? text.size() - 4 : 0;
    while (start > lowest && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
        --start;
    }
    const auto length = decodeFront(text.substr(start), codePoint);
    if (start + static_cast<std::size_t>(length) != text.size()) {
        codePoint = -1;
        return 1;
    }
    return static_cast<std::size_t>(length);
}

// Lower-cased and composed (NFC), so that a precomposed and a decomposed accent
// compare equal, and a query letter never matches half of an accented one.
// Invalid UTF-8 cannot be normalised and is compared as it is.
std::string searchForm(std::string_view text) {
    std::string lowered = lowercased(text);
    // Below U+0300 (UTF-8 lead bytes up to 0xCB) every character is already composed
    // and combines with nothing, so Latin text skips the normaliser.
    if (std::none_of(lowered.begin(), lowered.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0xCC; })) {
        return lowered;
    }
    utf8proc_uint8_t* composed = nullptr;
    const auto length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(lowered.data()),
                     static_cast<utf8proc_ssize_t>(lowered.size()), &composed,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length < 0) {
        return lowered;
    }
    std::string result(reinterpret_cast<const char*>(composed), static_cast<std::size_t>(length));
    std::free(composed);
    return result;
}

// Case-insensitive search of a lower-cased ASCII query in ASCII text, without a copy.
// memchr finds the candidates for the first letter in either case.
bool asciiContains(std::string_view field, std::string_view loweredQuery) {
    if (loweredQuery.size() > field.size()) {
        return false;
    }
    const char lower = loweredQuery.front();
    const char upper =
        (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    const std::string_view rest = loweredQuery.substr(1);
    const std::size_t end = field.size() - loweredQuery.size() + 1; // candidates: [0, end)
    std::size_t from = 0;
    while (from < end) {
        const char* start = field.data() + from;
        const auto* lowerHit = static_cast<const char*>(std::memchr(start, lower, end - from));
        const auto* upperHit =
            upper == lower ? nullptr
                           : static_cast<const char*>(std::memchr(start, upper, end - from));
        const char* hit = !lowerHit   ? upperHit
                          : !upperHit ? lowerHit
                                      : std::min(lowerHit, upperHit);
        if (hit == nullptr) {
            return false;
        }
        const std::size_t at = static_cast<std::size_t>(hit - field.data());
        std::size_t k = 0;
        while (k < rest.size() && asciiLower(field[at + 1 + k]) == rest[k]) {
            ++k;
        }
        if (k == rest.size()) {
            return true;
        }
        from = at + 1;
    }
    return false;
}

bool fieldContains(std::string_view field, std::string_view loweredQuery, bool queryIsAscii) {
    if (isAscii(field)) {
        // The common case. An ASCII field lower-cases to ASCII, so a query with other
        // characters cannot occur in it.
        return queryIsAscii && asciiContains(field, loweredQuery);
    }
    return searchForm(field).find(loweredQuery) != std::string::npos;
}

bool matchesLowered(const AppEntry& entry, std::string_view loweredQuery) {
    const bool ascii = isAscii(loweredQuery);
    if (fieldContains(entry.name, loweredQuery, ascii) ||
        fieldContains(entry.id, loweredQuery, ascii)) {
        return true;
    }
    if (entry.macos) {
        if (fieldContains(entry.macos->brew, loweredQuery, ascii)) {
            return true;
        }
        if (entry.macos->macports && fieldContains(*entry.macos->macports, loweredQuery, ascii)) {
            return true;
        }
    }
    return fieldContains(entry.category, loweredQuery, ascii) ||
           fieldContains(entry.summary, loweredQuery, ascii);
}

} // namespace

std::string lowercased(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.front());
        if (byte < 0x80) {
            result.push_back(asciiLower(text.front()));
            text.remove_prefix(1);
            continue;
        }
        utf8proc_int32_t codePoint = 0;
        const auto length = decodeFront(text, codePoint);
        if (codePoint < 0) {
            result.push_back(text.front());
        } else if (codePoint == 0x0130) {
            // The one unconditional full mapping that is not one-to-one:
            // LATIN CAPITAL LETTER I WITH DOT ABOVE -> i + COMBINING DOT ABOVE.
            result += "i\xCC\x87";
        } else {
            utf8proc_uint8_t encoded[4];
            const auto size = utf8proc_encode_char(utf8proc_tolower(codePoint), encoded);
            result.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(size));
        }
        text.remove_prefix(static_cast<std::size_t>(length));
    }
    return result;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty()) {
        utf8proc_int32_t codePoint = 0;
        const auto length = decodeFront(text, codePoint);
        if (codePoint < 0 || !isWhitespaceOrNewline(codePoint)) {
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(length));
    }
    while (!text.empty()) {
        utf8proc_int32_t codePoint = 0;
        const auto length = lastCodePoint(text, codePoint);
        if (codePoint < 0 || !isWhitespaceOrNewline(codePoint)) {
            break;
        }
        text.remove_suffix(length);
    }
    return text;
}

bool matches(const AppEntry& entry, std::string_view query) {
    const std::string_view trimmedQuery = trimmed(query);
    if (trimmedQuery.empty()) {
        return true;
    }
    return matchesLowered(entry, searchForm(trimmedQuery));
}

std::vector<AppEntry> filter(const std::vector<AppEntry>& entries, std::string_view query) {
    const std::string_view trimmedQuery = trimmed(query);
    if (trimmedQuery.empty()) {
        return entries;
    }
    const std::string loweredQuery = searchForm(trimmedQuery);
    // Find first, then copy once into a vector of the right size.
    std::vector<const AppEntry*> found;
    for (const AppEntry& entry : entries) {
        if (matchesLowered(entry, loweredQuery)) {
            found.push_back(&entry);
        }
    }
    std::vector<AppEntry> result;
    result.reserve(found.size());
    for (const AppEntry* entry : found) {
        result.push_back(*entry);
    }
    return result;
}

} // namespace cairnmoor::CatalogSearch
