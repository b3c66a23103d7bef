#include "platform/JsonReading.hpp"

#include "platform/DecodingError.hpp"

#include <gtest/gtest.h>

#include <string>

// The one place the strict reading rules are tested; the catalogue and profile tests only
// prove that they read through here. Huge and hostile documents are in tests/soak.
namespace cairnmoor {
namespace {

using namespace JsonReading;
using namespace std::string_literals;

TEST(JsonReading, RefusesAnythingButOneWellFormedDocument) {
    const std::string nesting(257, '[');
    for (const std::string& text :
         {""s, "{\"a\": ["s, "{} x"s, "\"caf\xC3\""s, "\"\xC0\xAF\""s, "\"\\ud800\""s, "\"a\tb\""s,
          "{'a': 1}"s, "[NaN]"s, "[\0]"s, "{}\0{}"s, nesting + std::string(257, ']')}) {
        EXPECT_THROW(parse(text), DecodingError) << text;
    }
    // Up to the nesting limit, with brackets inside strings, a byte-order mark and escapes are
    // fine.
    EXPECT_NO_THROW(parse(std::string(255, '[') + "[\"" + nesting + "\"]" + std::string(255, ']')));
    EXPECT_EQ(requireString(parse("\xEF\xBB\xBF{\"n\": \"\\u00e9\\ud83d\\ude00\"}"), "n"),
              "\xC3\xA9\xF0\x9F\x98\x80");
}

// A required key must hold a value of exactly its type; an optional one may be missing or
// null; there are no conversions between JSON types. Whole numbers written with a fraction
// or exponent count as Int64 while a double holds them exactly; nothing outside Int64 is
// rounded into it.
TEST(JsonReading, KeysNeedAValueOfExactlyTheirType) {
    const Json object = parse(R"({"z": null, "s": "true", "n": 1, "b": true, "a": [], "o": {}})");
    EXPECT_EQ(optionalKey(object, "z"), nullptr);
    EXPECT_EQ(optionalString(object, "s"), "true");
    EXPECT_THROW(requireKey(object, "z"), DecodingError);
    EXPECT_THROW(requireKey(object, "missing"), DecodingError);
    EXPECT_THROW(requireBool(object, "n"), DecodingError);
    EXPECT_THROW(optionalBool(object, "s"), DecodingError);
    EXPECT_THROW(requireString(object, "b"), DecodingError);
    EXPECT_THROW(requireArray(object.at("o"), "o"), DecodingError);
    EXPECT_THROW(requireObject(object.at("a"), "a"), DecodingError);
    const auto read = [](std::string n) { return requireInt64(parse("{\"n\": " + n + "}"), "n"); };
    EXPECT_EQ(read("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(read("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(read("2.0") + read("1e3"), 1002);
    for (const char* text : {"9223372036854775808", "18446744073709551615", "-9223372036854775809",
                             "1e400", "2.5", "9.3e18", "9007199254740993.0"}) {
        EXPECT_THROW(read(text), DecodingError) << text;
    }
}

} // namespace
} // namespace cairnmoor
