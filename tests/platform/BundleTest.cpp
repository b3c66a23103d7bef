#include "platform/Bundle.hpp"

#include "platform/ProcessInfo.hpp"
#include "platform/Sha256.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// ---- Bundles at a path ---------------------------------------------------------------

TEST(BundleAtPath, OpensOnlyFolders) {
    TempDir dir;
    EXPECT_FALSE(Bundle::atPath(dir / "missing.bundle"));
    EXPECT_FALSE(Bundle::atPath(dir.write("file.bundle", "x")));
    EXPECT_TRUE(Bundle::atPath(dir.path()));
}

TEST(BundleAtPath, ResourcesLiveInContentsResourcesWhenPresentElseAtTheTop) {
    TempDir dir;
    dir.write("Flat.bundle/catalog.json", "{}");
    dir.write("Mac.bundle/Contents/Resources/catalog.json", "{}");
    dir.write("Mac.bundle/catalog.json", "{}"); // not where a structured bundle keeps it

    const auto flat = Bundle::atPath(dir / "Flat.bundle");
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->url("catalog", "json"), dir / "Flat.bundle" / "catalog.json");

    const auto mac = Bundle::atPath(dir / "Mac.bundle");
    ASSERT_TRUE(mac);
    EXPECT_EQ(mac->url("catalog", "json"),
              dir / "Mac.bundle" / "Contents" / "Resources" / "catalog.json");
}

TEST(BundleAtPath, ResourceLookupFindsOnlyRegularFilesOfThatExactName) {
    TempDir dir;
    fs::create_directories(dir / "B.bundle" / "catalog.json"); // a folder, not a file
    dir.write("B.bundle/other.json", "{}");
    const auto bundle = Bundle::atPath(dir / "B.bundle");
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->url("catalog", "json"));
    EXPECT_FALSE(bundle->url("other", "txt"));
    EXPECT_TRUE(bundle->url("other", "json"));

    const Bundle noResources(dir.path(), std::nullopt, std::nullopt, {});
    EXPECT_FALSE(noResources.url("other", "json"));
}

TEST(BundleInfo, OnlyStringValuesAreReadAsStrings) {
    const Bundle bundle(
        "/x", std::nullopt, std::nullopt,
        {{"text", std::string("1.2.3")}, {"number", std::int64_t{3}}, {"flag", true}});
    EXPECT_EQ(bundle.infoString("text"), "1.2.3");
    EXPECT_FALSE(bundle.infoString("number"));
    EXPECT_FALSE(bundle.infoString("flag"));
    EXPECT_FALSE(bundle.infoString("missing"));
}

// ---- The main bundle -----------------------------------------------------------------

TEST(MainBundle, IsThePrefixAboveBinWithItsSharedResourcesAndBuiltInDictionary) {
    const Bundle& main = Bundle::main();
    ASSERT_TRUE(main.executablePath());
    EXPECT_EQ(main.executablePath()->parent_path().filename(), "bin");
    EXPECT_EQ(fs::canonical(main.bundlePath()), fs::canonical(CAIRNMOOR_BINARY_DIR));
    ASSERT_TRUE(main.resourceDirectory());
    EXPECT_EQ(fs::canonical(*main.resourceDirectory()),
              fs::canonical(fs::path(CAIRNMOOR_BINARY_DIR) / "share" / "cairnmoor"));
    for (const char* key :
         {"CFBundleShortVersionString", "BuildDate", "NSHumanReadableCopyright"}) {
        EXPECT_TRUE(main.infoString(key)) << key;
    }
}

// ---- Process information -------------------------------------------------------------

TEST(ProcessInformation, EnvironmentAndHostNameComeFromTheRunningProcess) {
    ::setenv("CAIRNMOOR_TEST_VALUE", "a=b=c", 1);
    const auto environment = ProcessInfo::environment();
    ::unsetenv("CAIRNMOOR_TEST_VALUE");
    ASSERT_TRUE(environment.contains("CAIRNMOOR_TEST_VALUE"));
    EXPECT_EQ(environment.at("CAIRNMOOR_TEST_VALUE"), "a=b=c"); // split at the first "="
    EXPECT_FALSE(ProcessInfo::hostName().empty());
}

// ---- SHA-256 -------------------------------------------------------------------------

struct DigestCase {
    std::string input;
    const char* digest;
    friend void PrintTo(const DigestCase& c, std::ostream* os) {
        *os << std::string(c.digest).substr(0, 12);
    }
};

class Sha256Digest : public ::testing::TestWithParam<DigestCase> {};

TEST_P(Sha256Digest, MatchesTheStandardTestVectors) {
    EXPECT_EQ(Sha256::hexDigest(GetParam().input), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, Sha256Digest,
    ::testing::Values(
        DigestCase{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        DigestCase{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        DigestCase{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                   "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        DigestCase{std::string(1'000'000, 'a'),
                   "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // Bytes that are not text, including a NUL, must be hashed as they are.
        DigestCase{std::string("\0\xff", 2),
                   "06eb7d6a69ee19e5fbdf749018d3d2abfa04bcbd1365db312eb86dc7169389b8"}));

} // namespace
} // namespace cairnmoor
