// Robustness runs kept out of the quick suite. Many engine runs against the fake manager
// with failures, hangs, time-outs and cancels: afterwards the process holds no more
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
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor {
namespace {

using Kind = PackageState::Kind;

// Open descriptors, and resident memory in pages where /proc tells (0 elsewhere).
std::pair<long, long> usage() {
    long size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    return {std::distance(std::filesystem::directory_iterator("/dev/fd"), {}), resident};
}

TEST(Soak, EngineRunsLeaveNothingBehindAndHostileDocumentsFailAsDocuments) {
    const char* configured = std::getenv("CAIRNMOOR_SOAK_RUNS");
    const int runs = std::max(1, std::atoi(configured ? configured : "1000"));
    testing::TempDir state;
    ::setenv("CAIRNMOOR_FAKE_STATE", state.path().c_str(), 1);
    // Every field is the id (and a kind other than exactly "cask" is a formula).
    const auto app = [](auto n) { return AppEntry{n, n, n, n, n, n, MacOSInfo{n, n, {}}, {}}; };
    const std::vector<AppEntry> apps = {app("alpha"), app("beta"), app("gamma")};
    std::pair<long, long> base; // taken after the warm-up
    std::set<Kind> outcomes;
    for (int run = 0; run < runs; ++run) {
        base = run == std::min(20, runs / 2) ? usage() : base;
        // Every scenario with every app, in an order that mixes them.
        const int scenario = run * 37 % 100;
        const std::string target = apps[run % apps.size()].id;
        // 30 % fail; 25 % hang (5 % ignoring SIGTERM) until a cancel from another thread
        // once the package is installing; 1 % hangs into its time limit.
        ::setenv("CAIRNMOOR_FAKE_FAIL", scenario < 30 ? target.c_str() : "", 1);
        ::setenv("CAIRNMOOR_FAKE_HANG", scenario >= 30 && scenario <= 55 ? target.c_str() : "", 1);
        ::setenv("CAIRNMOOR_FAKE_IGNORE_TERM", scenario / 5 == 10 ? target.c_str() : "", 1);
        InstallEngine engine;
        std::future<void> canceller; // waited for before the engine goes
        const auto onProgress = [&](const std::string& id, const PackageState& now) {
            if (scenario >= 30 && scenario < 55 && id == target && now.kind == Kind::installing) {
                canceller = std::async(std::launch::async, [&engine] { engine.cancel(); });
            }
        };
        for (const PackageResult& result :
             engine.run(apps, {.timeoutSeconds = scenario == 55 ? 1 : 30},
                        CAIRNMOOR_FAKES_DIR "/brew", {onProgress, {}, {}})) {
            outcomes.insert(result.state.kind);
        }
    }
    // Every package ends in a final state, and every fault took effect.
    EXPECT_EQ(outcomes, (std::set{Kind::installed, Kind::failed, Kind::skipped}));
    // No descriptor is left open, and no child running or unreaped (a hung package left
    // behind would still be ours).
    EXPECT_EQ(std::pair(usage().first, ::waitpid(-1, nullptr, WNOHANG)), std::pair(base.first, -1));
    EXPECT_LT(usage().second - base.second, (8 << 20) / ::sysconf(_SC_PAGESIZE)); // 8 MiB
    // Documents no user writes: a million deep, a megabyte valid then broken, and 50 MB of
    // junk.
    std::string deep, almost = "[", junk(50u << 20, '[');
    for (int i = 0; i < 1'000'000; ++i) {
        deep += i % 2 ? "[" : "{\"a\":";
        almost += i < 30'000 ? "\"entry\",{\"a\":[1,2.5,true,null]}," : "";
    }
    std::generate(junk.begin() + 1, junk.end(), std::rand);
    for (const std::string& document : {deep, almost + "}", junk}) {
        EXPECT_THROW(JsonReading::parse(document), DecodingError);
    }
}

} // namespace
} // namespace cairnmoor
