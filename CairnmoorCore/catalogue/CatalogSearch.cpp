#include "catalogue/CatalogSearch.hpp"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>

namespace cairnmoor::CatalogSearch {

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
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
    if (isAscii(lowered)) {
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

bool fieldContains(std::string_view field, std::string_view loweredQuery) {
    if (isAscii(field)) {
        // The common case: compare without building a lower-cased copy.
        const auto found =
            std::search(field.begin(), field.end(), loweredQuery.begin(), loweredQuery.end(),
                        [](char a, char b) { return asciiLower(a) == b; });
        return found != field.end();
    }
    return searchForm(field).find(loweredQuery) != std::string::npos;
}

bool matchesLowered(const AppEntry& entry, std::string_view loweredQuery) {
    if (fieldContains(entry.name, loweredQuery) || fieldContains(entry.id, loweredQuery)) {
        return true;
    }
    if (entry.macos) {
        if (fieldContains(entry.macos->brew, loweredQuery)) {
            return true;
        }
        if (entry.macos->macports && fieldContains(*entry.macos->macports, loweredQuery)) {
            return true;
        }
    }
    return fieldContains(entry.category, loweredQuery) ||
           fieldContains(entry.summary, loweredQuery);
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
    std::vector<AppEntry> result;
    for (const AppEntry& entry : entries) {
        if (matchesLowered(entry, loweredQuery)) {
            result.push_back(entry);
        }
    }
    return result;
}

} // namespace cairnmoor::CatalogSearch
