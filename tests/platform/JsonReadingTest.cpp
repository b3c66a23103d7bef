#include "platform/JsonReading.hpp"

#include "platform/DecodingError.hpp"
#include "support/TestNames.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace cairnmoor {
namespace {

using JsonReading::Json;

std::string debugDescriptionOf(std::string_view data) {
    try {
        JsonReading::parse(data);
    } catch (const DecodingError& error) {
        EXPECT_STREQ(error.what(), DecodingError::userMessage);
        return error.debugDescription();
    }
    ADD_FAILURE() << "parsed without error";
    return {};
}

// ---- Documents that are not JSON -----------------------------------------------------

struct BadDocument {
    const char* label;
    std::string data;
    friend void PrintTo(const BadDocument& c, std::ostream* os) { *os << c.label; }
};

class UnreadableDocuments : public ::testing::TestWithParam<BadDocument> {};

TEST_P(UnreadableDocuments, FailWithTheGeneralFormatMessage) {
    EXPECT_FALSE(debugDescriptionOf(GetParam().data).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableDocuments,
    ::testing::Values(BadDocument{"empty", ""},
                      BadDocument{"truncated", "{\"schema\": 2, \"apps\": ["},
                      BadDocument{"trailingGarbage", "{} x"},
                      BadDocument{"invalidUtf8InString", "{\"name\": \"caf\xc3\"}"},
                      BadDocument{"overlongUtf8", "{\"name\": \"\xc0\xaf\"}"},
                      BadDocument{"loneSurrogateEscape", "{\"name\": \"\\ud800\"}"},
                      BadDocument{"rawControlCharacter", "{\"name\": \"a\tb\"}"},
                      BadDocument{"singleQuotes", "{'a': 1}"},
                      BadDocument{"nanLiteral", "{\"a\": NaN}"},
                      BadDocument{"nulByte", std::string("{\"a\":\0 1}", 9)}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(HostileDocuments, DeepNestingIsRefusedBeforeParsing) {
    for (const char* open : {"[", "{\"a\":"}) {
        std::string data;
        for (int i = 0; i < 1'000'000; ++i) {
            data += open;
        }
        EXPECT_NE(debugDescriptionOf(data).find("nests deeper"), std::string::npos);
    }
    // Brackets inside strings are text, not nesting.
    const std::string inString = "[\"" + std::string(10000, '[') + "\"]";
    EXPECT_NO_THROW(JsonReading::parse(inString));
    // Up to the limit is accepted.
    EXPECT_NO_THROW(JsonReading::parse(std::string(256, '[') + std::string(256, ']')));
}

TEST(HostileDocuments, FiftyMegabytesOfJunkFailPromptly) {
    // 50 MB of random bytes, and a document that is valid for its first megabyte and then
    // breaks (kept smaller: building the values it holds is slow in a debug build).
    std::mt19937 random(7);
    std::string block(64 * 1024, '\0');
    for (char& c : block) {
        c = static_cast<char>(random());
    }
    std::string junk;
    junk.reserve(50u * 1024 * 1024);
    while (junk.size() < 50u * 1024 * 1024) {
        junk += block;
    }
    junk[0] = '['; // get past the first byte so the parser has to look further
    std::string almost = "[";
    while (almost.size() < 1024 * 1024) {
        almost += "\"entry\",{\"a\":[1,2.5,true,null]},";
    }
    almost += "}";
    for (const std::string* data : {&junk, &almost}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(debugDescriptionOf(*data).empty());
        // Generous bound, sanitizers included: this guards against a hang or quadratic
        // work, not speed.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
    }
}

TEST(HostileDocuments, ValidUtf8AndByteOrderMarkAreFine) {
    const Json value =
        JsonReading::parse("\xEF\xBB\xBF{\"name\": \"Caf\xC3\xA9 \\u00e9 \\ud83d\\ude00\"}");
    EXPECT_EQ(JsonReading::requireString(value, "name"), "Caf\xC3\xA9 \xC3\xA9 \xF0\x9F\x98\x80");
}

// ---- Keys and types ------------------------------------------------------------------

TEST(KeysAndTypes, RequiredKeysMustBePresentAndNotNull) {
    const Json object = JsonReading::parse(R"({"a": null, "b": "x"})");
    EXPECT_THROW(JsonReading::requireKey(object, "a"), DecodingError);
    EXPECT_THROW(JsonReading::requireKey(object, "missing"), DecodingError);
    EXPECT_EQ(JsonReading::requireString(object, "b"), "x");
    EXPECT_EQ(JsonReading::optionalKey(object, "a"), nullptr);
    EXPECT_EQ(JsonReading::optionalKey(object, "missing"), nullptr);
    EXPECT_EQ(JsonReading::optionalString(object, "b"), "x");
}

TEST(KeysAndTypes, NoImplicitConversionsBetweenJsonTypes) {
    const Json object =
        JsonReading::parse(R"({"s": "true", "n": 1, "b": true, "z": 0, "arr": [], "obj": {}})");
    EXPECT_THROW(JsonReading::requireBool(object, "s"), DecodingError);
    EXPECT_THROW(JsonReading::requireBool(object, "n"), DecodingError);
    EXPECT_THROW(JsonReading::requireBool(object, "z"), DecodingError);
    EXPECT_THROW(JsonReading::requireString(object, "n"), DecodingError);
    EXPECT_THROW(JsonReading::requireString(object, "b"), DecodingError);
    EXPECT_THROW(JsonReading::requireInt64(object, "b"), DecodingError);
    EXPECT_THROW(JsonReading::requireInt64(object, "s"), DecodingError);
    EXPECT_THROW(JsonReading::requireArray(object.at("obj"), "obj"), DecodingError);
    EXPECT_THROW(JsonReading::requireObject(object.at("arr"), "arr"), DecodingError);
    EXPECT_THROW(JsonReading::optionalBool(object, "s"), DecodingError);
}

TEST(KeysAndTypes, TypeMismatchNamesTheKey) {
    const Json object = JsonReading::parse(R"({"recommended": "yes"})");
    try {
        JsonReading::requireBool(object, "recommended");
        FAIL();
    } catch (const DecodingError& error) {
        EXPECT_NE(error.debugDescription().find("recommended"), std::string::npos);
    }
}

// Whole numbers written with a fraction or exponent are accepted only while a double
// holds them exactly; integer literals outside Int64 are refused, never rounded into it.
struct IntegerCase {
    const char* text;
    std::optional<std::int64_t> expected; // none: must be refused
    friend void PrintTo(const IntegerCase& c, std::ostream* os) {
        *os << testing::testNameText(c.text);
    }
};

class IntegerReading : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerReading, AcceptsExactlyTheWholeNumbersThatFitInInt64) {
    const auto read = [] {
        const Json object = JsonReading::parse(std::string("{\"n\": ") + GetParam().text + "}");
        return JsonReading::requireInt64(object, "n");
    };
    if (GetParam().expected) {
        EXPECT_EQ(read(), *GetParam().expected);
    } else {
        EXPECT_THROW(read(), DecodingError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IntegerReading,
    ::testing::Values(IntegerCase{"2", 2}, IntegerCase{"-7", -7}, IntegerCase{"0", 0},
                      IntegerCase{"9223372036854775807", INT64_MAX},
                      IntegerCase{"-9223372036854775808", INT64_MIN},
                      IntegerCase{"9223372036854775808", std::nullopt},
                      IntegerCase{"18446744073709551615", std::nullopt},
                      IntegerCase{"-9223372036854775809", std::nullopt},
                      IntegerCase{"123456789012345678901234567890", std::nullopt},
                      IntegerCase{"1e400", std::nullopt}, IntegerCase{"2.5", std::nullopt},
                      IntegerCase{"2.0", 2}, IntegerCase{"1e3", 1000},
                      IntegerCase{"9.3e18", std::nullopt},
                      IntegerCase{"-9.223372036854775808e18", std::nullopt},
                      IntegerCase{"9007199254740993.0", std::nullopt}));

} // namespace
} // namespace cairnmoor
