#include "platform/JsonReading.hpp"

#include "platform/DecodingError.hpp"

#include <cmath>
#include <limits>

namespace cairnmoor::JsonReading {

namespace {

const char* typeName(const Json& value) {
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::object:
        return "a dictionary";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::boolean:
        return "a bool";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return "a number";
    default:
        return "something else";
    }
}

[[noreturn]] void typeMismatch(const char* expected, const Json& found, std::string_view context) {
    throw DecodingError("Expected " + std::string(expected) + " for \"" + std::string(context) +
                        "\" but found " + typeName(found) + " instead.");
}

// Bracket depth without building anything, so a hostile document cannot make the
// parser or the destructor recurse deeply.
std::size_t nestingDepth(std::string_view data) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : data) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

} // namespace

Json parse(std::string_view data, std::size_t maxDepth) {
    // A raw NUL is never valid JSON, and the parser would take it for the end of input
    // and accept whatever came before it.
    if (data.find('\0') != std::string_view::npos) {
        throw DecodingError("The given data holds a NUL byte.");
    }
    if (nestingDepth(data) > maxDepth) {
        throw DecodingError("The given data nests deeper than " + std::to_string(maxDepth) +
                            " levels.");
    }
    Json value = Json::parse(data.begin(), data.end(), nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) {
        throw DecodingError("The given data was not valid JSON.");
    }
    return value;
}

const Json& requireObject(const Json& value, std::string_view context) {
    if (!value.is_object()) {
        typeMismatch("a dictionary", value, context);
    }
    return value;
}

const Json& requireArray(const Json& value, std::string_view context) {
    if (!value.is_array()) {
        typeMismatch("an array", value, context);
    }
    return value;
}

const Json& requireKey(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError(std::string("No value associated with key \"") + key + "\".");
    }
    if (found->is_null()) {
        throw DecodingError(std::string("Expected a value for \"") + key +
                            "\" but found null instead.");
    }
    return *found;
}

const Json* optionalKey(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

std::string asString(const Json& value, std::string_view context) {
    if (!value.is_string()) {
        typeMismatch("a string", value, context);
    }
    return value.get<std::string>();
}

bool asBool(const Json& value, std::string_view context) {
    if (!value.is_boolean()) {
        typeMismatch("a bool", value, context);
    }
    return value.get<bool>();
}

std::int64_t asInt64(const Json& value, std::string_view context) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(number);
        }
        throw DecodingError("Number for \"" + std::string(context) + "\" does not fit in Int64.");
    }
    if (value.is_number_float()) {
        // 1.0 and 1e3 are whole numbers; 1.5 and 1e300 are not Int64 values. Beyond 2^53 a
        // double no longer tells which integer was written: an integer literal just below
        // Int64's range, such as -9223372036854775809, arrives here rounded into it.
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && number > -0x1p53 &&
            number < 0x1p53) {
            return static_cast<std::int64_t>(number);
        }
        throw DecodingError("Number for \"" + std::string(context) + "\" is not an Int64.");
    }
    typeMismatch("a number", value, context);
}

} // namespace cairnmoor::JsonReading
