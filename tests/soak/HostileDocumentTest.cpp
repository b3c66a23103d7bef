// Documents no user writes: they must fail as documents, without deep recursion or
// quadratic work. Here rather than in the quick suite because they take seconds to build.
#include "platform/DecodingError.hpp"
#include "platform/JsonReading.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace cairnmoor {
namespace {

TEST(HostileDocuments, AMillionDeepOrFiftyMegabytesOfJunkFailAsDocuments) {
    std::string deep;
    std::string almost = "["; // valid for a megabyte, then broken
    for (int i = 0; i < 1'000'000; ++i) {
        deep += i % 2 ? "[" : "{\"a\":";
        almost += i < 30'000 ? "\"entry\",{\"a\":[1,2.5,true,null]}," : "";
    }
    std::string junk(50u << 20, '[');
    std::generate(junk.begin() + 1, junk.end(), std::mt19937(7));
    for (const std::string& document : {deep, almost + "}", junk}) {
        EXPECT_THROW(JsonReading::parse(document), DecodingError);
    }
}

} // namespace
} // namespace cairnmoor
