// Robustness runs kept out of the quick suite. Many engine runs against the fake manager
// with random failures, hangs, time-outs and cancels: afterwards the process holds no more
// descriptors than before, has no child processes (running or zombie), and its memory has
// not grown beyond a small bound (CAIRNMOOR_SOAK_RUNS sets how many). Documents no user
// writes must fail as documents, without deep recursion or quadratic work.
#include "install/InstallEngine.hpp"
#include "platform/DecodingError.hpp"
#include "platform/JsonReading.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <future>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;
using Kind = PackageState::Kind;

// Open descriptors, and resident memory in pages where /proc tells (0 elsewhere).
std::pair<long, long> usage() {
    long size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    return {std::distance(fs::directory_iterator("/dev/fd"), {}), resident};
}

TEST(EngineSoak, ManyRunsLeaveNoDescriptorsProcessesOrGrowth) {
    const char* configured = std::getenv("CAIRNMOOR_SOAK_RUNS");
    const int runs = configured ? std::max(1, std::atoi(configured)) : 1000;
    testing::TempDir state;
    ::setenv("CAIRNMOOR_FAKE_STATE", state.path().c_str(), 1);
    std::vector<AppEntry> apps;
    for (const char* name : {"alpha", "beta", "gamma"}) {
        apps.push_back(AppEntry{name, name, "", "", "", "", MacOSInfo{name, "formula", {}}, {}});
    }
    std::mt19937 random(20261206);
    std::pair<long, long> before;
    std::set<Kind> outcomes;
    for (int run = 0; run < runs; ++run) {
        before = run == std::min(20, runs / 2) ? usage() : before; // after the warm-up
        const auto scenario = random() % 100;
        const std::string target = apps[random() % apps.size()].id;
        // 30 % fail; 25 % hang (5 % ignoring SIGTERM) until a cancel from another thread
        // once the package is installing; 1 % hangs into its time limit.
        const bool cancel = scenario >= 30 && scenario < 55;
        ::setenv("CAIRNMOOR_FAKE_FAIL", scenario < 30 ? target.c_str() : "", 1);
        ::setenv("CAIRNMOOR_FAKE_HANG", cancel || scenario == 55 ? target.c_str() : "", 1);
        ::setenv("CAIRNMOOR_FAKE_IGNORE_TERM", cancel && scenario >= 50 ? target.c_str() : "", 1);
        InstallOptions options;
        options.timeoutSeconds = scenario == 55 ? 1 : 30;
        InstallEngine engine;
        std::future<void> canceller; // waited for before the engine goes
        const auto onProgress = [&](const std::string& id, const PackageState& packageState) {
            if (cancel && id == target && packageState.kind == Kind::installing) {
                canceller = std::async(std::launch::async, [&engine] { engine.cancel(); });
            }
        };
        for (const PackageResult& result :
             engine.run(apps, options, CAIRNMOOR_FAKES_DIR "/brew", {onProgress, {}, {}})) {
            outcomes.insert(result.state.kind);
        }
    }
    // Every package ends in a final state, and every fault took effect.
    EXPECT_EQ(outcomes, (std::set{Kind::installed, Kind::failed, Kind::skipped}));
    EXPECT_EQ(usage().first, before.first);
    // A child still running or not reaped (a hung package left behind) is still ours.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_LT(usage().second - before.second, (8 << 20) / ::sysconf(_SC_PAGESIZE)); // 8 MiB
}

// A million deep, a megabyte valid then broken, and 50 MB of junk.
TEST(HostileDocuments, AMillionDeepOrFiftyMegabytesOfJunkFailAsDocuments) {
    std::string deep, almost = "[";
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
