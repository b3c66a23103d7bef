#include "platform/Bundle.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

// How a value in the information dictionary is read is proved through BuildInfo
// (tests/buildinfo), and SHA-256 through the executable's checksum there.
namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

// Only folders open. A structured bundle keeps its resources in Contents/Resources and
// nowhere else, a flat one at its top; a resource is a regular file of exactly that name.
TEST(BundleAtPath, FindsResourcesWhereTheBundlesShapeKeepsThem) {
    testing::TempDir dir;
    EXPECT_FALSE(Bundle::atPath(dir / "missing.bundle"));
    EXPECT_FALSE(Bundle::atPath(dir.write("file.bundle", "x")));
    dir.write("Flat.bundle/catalog.json", "{}");
    dir.write("Mac.bundle/Contents/Resources/catalog.json", "{}");
    dir.write("Mac.bundle/catalog.json", "{}");
    fs::create_directories(dir / "Odd.bundle/catalog.json");
    dir.write("Odd.bundle/other.json", "{}");
    const auto url = [&](const char* bundle, const char* name, const char* extension) {
        return Bundle::atPath(dir / bundle)->url(name, extension);
    };
    EXPECT_EQ(url("Flat.bundle", "catalog", "json"), dir / "Flat.bundle/catalog.json");
    EXPECT_EQ(url("Mac.bundle", "catalog", "json"),
              dir / "Mac.bundle/Contents/Resources/catalog.json");
    EXPECT_FALSE(url("Odd.bundle", "catalog", "json"));
    EXPECT_FALSE(url("Odd.bundle", "other", "txt"));
    EXPECT_TRUE(url("Odd.bundle", "other", "json"));
    EXPECT_FALSE(Bundle(dir / "Odd.bundle", std::nullopt, std::nullopt, {}).url("other", "json"));
}

// The test program's bin/ sits in the build folder, whose share/cairnmoor holds the resources
// (the built-in dictionary is checked by the installed program's --version, tests/packaging).
TEST(MainBundle, IsThePrefixAboveBinWithItsSharedResources) {
    const Bundle& main = Bundle::main();
    ASSERT_TRUE(main.resourceDirectory());
    const fs::path build = fs::canonical(CAIRNMOOR_BINARY_DIR);
    EXPECT_EQ(fs::canonical(main.bundlePath()), build);
    EXPECT_EQ(fs::canonical(*main.resourceDirectory()), build / "share" / "cairnmoor");
}

} // namespace
} // namespace cairnmoor
