// What the install engine adds per package on top of the manager's own run time.
#include "NumberedApps.hpp"
#include "install/InstallEngine.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int packageCount = 200;

std::vector<cairnmoor::AppEntry> selection() {
    return numberedApps(packageCount, [](int i) { return i % 2 ? "cask" : "formula"; });
}

// CPU time of this process (every thread), excluding its children.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A 200-package run whose "manager" is /bin/true: both inventories come back empty and
// every install exits at once. Each iteration also runs the same 202 commands straight
// through a ProcessRunner. Wall time on a shared machine is dominated by the children
// and swings with the load, so the overhead is taken from this process's own CPU time,
// which leaves the children's time out by construction:
//   engine_cpu_us_per_package  everything the run costs here (engine + runner)
//   runner_cpu_us_per_command  the runner alone, per command
//   engine_extra_us_per_package what the engine adds on top of its 202 runner calls
void BM_EngineTwoHundredPackages(benchmark::State& state) {
    const std::vector<cairnmoor::AppEntry> apps = selection();
    cairnmoor::InstallOptions options;
    options.timeoutSeconds = 60;
    double engineWall = 0;
    double engineCpu = 0;
    double runnerCpu = 0;
    for (auto _ : state) {
        std::size_t logLines = 0;
        cairnmoor::InstallEngine engine;
        const auto start = Clock::now();
        const double cpuStart = processCpuSeconds();
        const auto results = engine.run(apps, options, "/bin/true",
                                        {[](const std::string&, const cairnmoor::PackageState&) {},
                                         [&](const std::string&) { ++logLines; },
                                         {}});
        const double cpuMiddle = processCpuSeconds();
        engineWall += std::chrono::duration<double>(Clock::now() - start).count();
        cairnmoor::ProcessRunner runner;
        for (int i = 0; i < packageCount + 2; ++i) {
            benchmark::DoNotOptimize(runner.run("/bin/true", {"install", "app"}, 60));
        }
        const double cpuEnd = processCpuSeconds();
        if (results.size() != apps.size() ||
            results.back().state != cairnmoor::PackageState::installed()) {
            state.SkipWithError("the run did not install every package");
            break;
        }
        benchmark::DoNotOptimize(logLines);
        engineCpu += cpuMiddle - cpuStart;
        runnerCpu += cpuEnd - cpuMiddle;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["run_ms"] = engineWall / runs * 1e3;
    state.counters["engine_cpu_us_per_package"] = engineCpu / runs / packageCount * 1e6;
    state.counters["runner_cpu_us_per_command"] = runnerCpu / runs / (packageCount + 2) * 1e6;
    state.counters["engine_extra_us_per_package"] =
        (engineCpu - runnerCpu) / runs / packageCount * 1e6;
}
BENCHMARK(BM_EngineTwoHundredPackages)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
