// What downloading ahead saves on a 30-package run whose downloads dominate, and what it
// costs when everything is already in Homebrew's cache. The manager is bench/fakes/brew:
// a download is a sleep, `fetch` downloads several at a time, `install` downloads first
// what is not cached.
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

constexpr int casks = 24;
constexpr int formulae = 6;
constexpr int packageCount = casks + formulae;
constexpr double downloadSeconds = 0.25;
constexpr double installSeconds = 0.025;
constexpr int concurrency = 6;

const std::string fake = std::string(CAIRNMOOR_BENCH_FAKES_DIR) + "/brew";
const fs::path state =
    fs::temp_directory_path() / ("cairnmoor-prefetch-bench-" + std::to_string(::getpid()));

std::vector<cairnmoor::AppEntry> selection() {
    return numberedApps(packageCount, [](int i) { return i < casks ? "cask" : "formula"; });
}

void configureFake() {
    ::setenv("CAIRNMOOR_BENCH_STATE", state.c_str(), 1);
    ::setenv("CAIRNMOOR_BENCH_DOWNLOAD", std::to_string(downloadSeconds).c_str(), 1);
    ::setenv("CAIRNMOOR_BENCH_INSTALL", std::to_string(installSeconds).c_str(), 1);
    ::setenv("CAIRNMOOR_BENCH_CONCURRENCY", std::to_string(concurrency).c_str(), 1);
}

// One run on a fresh cache, empty or holding every package; its wall time, or a negative
// value when a package did not install.
double runSeconds(bool prefetch, bool cached) {
    fs::remove_all(state);
    fs::create_directories(state / "cache");
    const std::vector<cairnmoor::AppEntry> apps = selection();
    for (const cairnmoor::AppEntry& app : apps) {
        if (cached) {
            std::ofstream(state / "cache" / app.id).put('\n');
        }
    }
    cairnmoor::InstallOptions options;
    options.skipInstalled = false; // no inventory: the run is the fetch and the installs
    options.upgradeIfPresent = false;
    options.timeoutSeconds = 60;
    options.prefetch = prefetch;
    cairnmoor::InstallEngine engine;
    const auto start = Clock::now();
    const auto results = engine.run(apps, options, fake, {});
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const bool allInstalled = std::all_of(results.begin(), results.end(), [](const auto& result) {
        return result.state == cairnmoor::PackageState::installed();
    });
    fs::remove_all(state);
    return allInstalled && results.size() == apps.size() ? seconds : -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs without and with prefetch, one after the other, so that load swings hit both; false
// (and the benchmark marked failed) when a package did not install.
bool alternateRuns(benchmark::State& state, bool cached, std::vector<double>& off,
                   std::vector<double>& on) {
    configureFake();
    for (auto _ : state) {
        off.push_back(runSeconds(false, cached));
        on.push_back(runSeconds(true, cached));
        if (off.back() < 0 || on.back() < 0) {
            state.SkipWithError("a package did not install");
            return false;
        }
        state.SetIterationTime(off.back() + on.back());
    }
    return true;
}

// Downloads dominate: 0.25 s each against 0.025 s per install. Without prefetch every
// install downloads in turn; with it the casks and then the formulae come down six at a
// time. The lower bound is those download batches plus the installs one after another.
void BM_PrefetchThirtyDownloads(benchmark::State& state) {
    std::vector<double> off;
    std::vector<double> on;
    if (!alternateRuns(state, false, off, on)) {
        return;
    }
    const int batches =
        (casks + concurrency - 1) / concurrency + (formulae + concurrency - 1) / concurrency;
    const double lowerBound = batches * downloadSeconds + packageCount * installSeconds;
    state.counters["off_s"] = median(off);
    state.counters["on_s"] = median(on);
    state.counters["speedup"] = median(off) / median(on);
    state.counters["lower_bound_s"] = lowerBound;
    state.counters["on_over_lower_bound"] = median(on) / lowerBound;
}
BENCHMARK(BM_PrefetchThirtyDownloads)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Everything already cached: the fetches find nothing to download, so what the run with
// prefetch takes longer is its whole cost. Runs alternate so that load swings hit both.
void BM_PrefetchNothingToDownload(benchmark::State& state) {
    std::vector<double> off;
    std::vector<double> on;
    if (!alternateRuns(state, true, off, on)) {
        return;
    }
    const double extra = median(on) - median(off);
    state.counters["off_s"] = median(off);
    state.counters["on_s"] = median(on);
    state.counters["overhead_ms_per_package"] = extra / packageCount * 1e3;
    state.counters["overhead_pct"] = extra / median(off) * 100;
}
BENCHMARK(BM_PrefetchNothingToDownload)->Iterations(7)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
