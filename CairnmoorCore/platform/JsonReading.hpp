#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Strict reading of JSON documents: a required key that is missing, null or of the
// wrong type fails the whole document with a DecodingError; an optional key that is
// missing or null gives none; keys not asked for are ignored.
namespace cairnmoor::JsonReading {

using Json = nlohmann::json;

// Documents we read (catalogues, profiles) are refused above this size: real ones are
// a few hundred kilobytes, and reading a huge one whole would exhaust memory.
inline constexpr std::uint64_t maxDocumentSize = std::uint64_t{64} << 20;

// Parses a whole document. Malformed text, invalid UTF-8, a NUL byte anywhere (nothing
// may follow the document, not even after a NUL) and nesting deeper than maxDepth throw
// DecodingError.
Json parse(std::string_view data, std::size_t maxDepth = 256);

const Json& requireObject(const Json& value, std::string_view context);
const Json& requireArray(const Json& value, std::string_view context);

const Json& requireKey(const Json& object, const char* key);
// Missing key or null: nullptr.
const Json* optionalKey(const Json& object, const char* key);

std::string asString(const Json& value, std::string_view context);
bool asBool(const Json& value, std::string_view context);
std::int64_t asInt64(const Json& value, std::string_view context);

inline std::string requireString(const Json& object, const char* key) {
    return asString(requireKey(object, key), key);
}
inline bool requireBool(const Json& object, const char* key) {
    return asBool(requireKey(object, key), key);
}
inline std::int64_t requireInt64(const Json& object, const char* key) {
    return asInt64(requireKey(object, key), key);
}
inline std::optional<std::string> optionalString(const Json& object, const char* key) {
    const Json* value = optionalKey(object, key);
    return value ? std::optional(asString(*value, key)) : std::nullopt;
}
inline std::optional<bool> optionalBool(const Json& object, const char* key) {
    const Json* value = optionalKey(object, key);
    return value ? std::optional(asBool(*value, key)) : std::nullopt;
}

} // namespace cairnmoor::JsonReading
