// What cleaning up once at the end of a run saves against Homebrew cleaning up after each
// install, on a 30-package run against bench/fakes/brew: each install 0.025 s, its own
// cleanup 0.02 s, the full cleanup Homebrew runs every 30 days 2 s, and the one `brew cleanup`
// at the end 0.5 s of start-up plus 0.02 s per package. Before: the children's
// HOMEBREW_NO_INSTALL_CLEANUP emptied (so the fake cleans after each install) and the final
// cleanup answering at once; after: the engine as it is.
#include "NumberedApps.hpp"
#include "install/InstallEngine.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int packageCount = 30;
constexpr double installSeconds = 0.025;
constexpr double cleanupSeconds = 0.02;
constexpr double periodicSeconds = 2;
constexpr double startSeconds = 0.5;

const std::string fake = std::string(CAIRNMOOR_BENCH_FAKES_DIR) + "/brew";
const fs::path stateFolder =
    fs::temp_directory_path() / ("cairnmoor-cleanup-bench-" + std::to_string(::getpid()));

std::vector<cairnmoor::AppEntry> selection() {
    return numberedApps(packageCount, [](int) { return "formula"; });
}

// One run, everything already downloaded; its wall time, or a negative value when a
// package did not install.
double runSeconds(bool atTheEnd, bool periodicDue) {
    fs::remove_all(stateFolder);
    fs::create_directories(stateFolder / "cache");
    const std::vector<cairnmoor::AppEntry> apps = selection();
    for (const cairnmoor::AppEntry& app : apps) {
        std::ofstream(stateFolder / "cache" / app.id).put('\n');
    }
    if (periodicDue) {
        std::ofstream(stateFolder / "cleanup-due").put('\n');
    }
    if (atTheEnd) {
        ::unsetenv("CAIRNMOOR_BENCH_NO_FINAL_CLEANUP");
    } else {
        ::setenv("CAIRNMOOR_BENCH_NO_FINAL_CLEANUP", "1", 1);
    }
    cairnmoor::InstallOptions options;
    options.skipInstalled = false;
    options.upgradeIfPresent = false;
    options.prefetch = false;
    options.timeoutSeconds = 60;
    cairnmoor::ProcessRunner::Settings settings;
    if (!atTheEnd) {
        settings.environment = {{"HOMEBREW_NO_INSTALL_CLEANUP", ""}};
    }
    cairnmoor::InstallEngine engine(settings);
    const auto start = Clock::now();
    const auto results = engine.run(apps, options, fake, {});
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const bool allInstalled = std::all_of(results.begin(), results.end(), [](const auto& result) {
        return result.state == cairnmoor::PackageState::installed();
    });
    fs::remove_all(stateFolder);
    return allInstalled && results.size() == apps.size() ? seconds : -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Before and after, one after the other so that load swings hit both.
void cleanupRuns(benchmark::State& state, bool periodicDue) {
    ::setenv("CAIRNMOOR_BENCH_STATE", stateFolder.c_str(), 1);
    ::setenv("CAIRNMOOR_BENCH_INSTALL", std::to_string(installSeconds).c_str(), 1);
    ::setenv("CAIRNMOOR_BENCH_CLEANUP", std::to_string(cleanupSeconds).c_str(), 1);
    ::setenv("CAIRNMOOR_BENCH_PERIODIC", std::to_string(periodicSeconds).c_str(), 1);
    ::setenv("CAIRNMOOR_BENCH_START", std::to_string(startSeconds).c_str(), 1);
    std::vector<double> before;
    std::vector<double> after;
    for (auto _ : state) {
        before.push_back(runSeconds(false, periodicDue));
        after.push_back(runSeconds(true, periodicDue));
        if (before.back() < 0 || after.back() < 0) {
            state.SkipWithError("a package did not install");
            return;
        }
        state.SetIterationTime(before.back() + after.back());
    }
    state.counters["before_s"] = median(before);
    state.counters["after_s"] = median(after);
    state.counters["saved_s"] = median(before) - median(after);
    // What the model says it should save: the periodic cleanup (when due), less one start.
    state.counters["model_saved_s"] = (periodicDue ? periodicSeconds : 0) - startSeconds;
}

void BM_CleanupPeriodicDue(benchmark::State& state) {
    cleanupRuns(state, true);
}
BENCHMARK(BM_CleanupPeriodicDue)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

void BM_CleanupNothingDue(benchmark::State& state) {
    cleanupRuns(state, false);
}
BENCHMARK(BM_CleanupNothingDue)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
