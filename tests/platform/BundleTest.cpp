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
// The test program's bin/ sits in the build folder, whose share/cairnmoor holds the main
// bundle's resources (the installed program's are checked in tests/packaging).
TEST(Bundle, FindsResourcesWhereItsShapeKeepsThemAndTheMainOneAboveBin) {
    testing::TempDir dir;
    EXPECT_FALSE(Bundle::atPath(dir / "none.bundle") || Bundle::atPath(dir.write("f.bundle", "")));
    dir.write("Flat.bundle/catalog.json", "{}");
    dir.write("Mac.bundle/Contents/Resources/catalog.json", "{}");
    dir.write("Mac.bundle/catalog.json", "{}");
    fs::create_directories(dir / "Odd.bundle/catalog.json");
    dir.write("Odd.bundle/other.json", "{}");
    const Bundle flat = *Bundle::atPath(dir / "Flat.bundle"),
                 mac = *Bundle::atPath(dir / "Mac.bundle");
    const Bundle odd = *Bundle::atPath(dir / "Odd.bundle");
    EXPECT_EQ(flat.resourcePath("catalog", "json"), dir / "Flat.bundle/catalog.json");
    EXPECT_EQ(mac.resourcePath("catalog", "json"),
              dir / "Mac.bundle/Contents/Resources/catalog.json");
    EXPECT_FALSE(odd.resourcePath("catalog", "json") || odd.resourcePath("other", "txt"));
    EXPECT_EQ(odd.resourcePath("other", "json"), dir / "Odd.bundle/other.json");
    EXPECT_FALSE(
        Bundle(dir / "Odd.bundle", std::nullopt, std::nullopt, {}).resourcePath("other", "json"));
    const fs::path build = fs::canonical(CAIRNMOOR_BINARY_DIR);
    EXPECT_EQ(fs::canonical(Bundle::main().bundlePath()), build);
    EXPECT_EQ(fs::canonical(Bundle::main().resourceDirectory().value()), build / "share/cairnmoor");
}

} // namespace
} // namespace cairnmoor
