#include "platform/RunningApps.hpp"

#include "support/OpenApp.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace cairnmoor {
namespace {

using namespace std::chrono_literals;
using Paths = std::vector<std::filesystem::path>;

// Real processes started from inside bundles: found only in their own bundle (not in one
// whose name merely begins the same, nor in one that is not open), asked to quit, and
// waited for; one that does not quit is given up on at the limit and still runs.
TEST(RunningApps, FindsAppsByBundleAndQuitsThoseThatHonourTheRequest) {
    testing::TempDir dir;
    const auto foo = dir / "Foo.app";
    const auto stubborn = dir / "Stubborn.app";
    testing::OpenApp fooApp(foo);
    testing::OpenApp stubbornApp(stubborn, true);
    const RunningApps& apps = RunningApps::system();
    EXPECT_EQ(apps.open({dir / "Fo", dir / "Foo.ap", dir / "Closed.app", foo, dir / "Foo.app/"}),
              (Paths{foo, dir / "Foo.app/"}));
    ASSERT_EQ(apps.inside({foo}).size(), 1u);
    EXPECT_EQ(apps.inside({foo})[0].executable, foo / "Contents/MacOS/Foo");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(apps.quit({foo, stubborn}, 400ms, {}, 10ms), Paths{stubborn});
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms);
    EXPECT_FALSE(fooApp.running());
    EXPECT_TRUE(stubbornApp.running());
    // Waiting stops as soon as the caller says so.
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(apps.quit({stubborn}, 30s, [] { return true; }), Paths{stubborn});
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 5s);
}

} // namespace
} // namespace cairnmoor
