// What the install engine adds per package on top of the manager's own run time.
#include "install/InstallEngine.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int packageCount = 200;

std::vector<cairnmoor::AppEntry> selection() {
    std::vector<cairnmoor::AppEntry> apps;
    for (int i = 0; i < packageCount; ++i) {
        cairnmoor::AppEntry entry;
        entry.id = "app" + std::to_string(i);
        entry.name = "App " + std::to_string(i);
        entry.macos = cairnmoor::MacOSInfo{"app" + std::to_string(i), i % 2 ? "cask" : "formula",
                                           std::nullopt};
        apps.push_back(entry);
    }
    return apps;
}

void bareSpawnAndWait(const char* path, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(path)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t processId = -1;
    if (posix_spawn(&processId, path, nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("posix_spawn failed");
    }
    int status = 0;
    while (waitpid(processId, &status, 0) == -1 && errno == EINTR) {
    }
}

// A 200-package run whose "manager" is /bin/true: both inventories come back empty and
// every install exits at once. The children's own cost is measured by starting the same
// 202 commands bare; the difference per package is the engine's overhead.
void BM_EngineTwoHundredPackages(benchmark::State& state) {
    const std::vector<cairnmoor::AppEntry> apps = selection();
    cairnmoor::InstallOptions options;
    options.timeoutSeconds = 60;
    double engineSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        std::size_t logLines = 0;
        cairnmoor::InstallEngine engine;
        const auto start = Clock::now();
        const auto results = engine.run(
            apps, options, "/bin/true", std::nullopt, std::nullopt,
            [](const std::string&, const cairnmoor::PackageState&) {},
            [&](const std::string&) { ++logLines; });
        const auto middle = Clock::now();
        for (int i = 0; i < packageCount + 2; ++i) {
            bareSpawnAndWait("/bin/true", {"install", "app"});
        }
        const auto end = Clock::now();
        if (results.size() != apps.size() ||
            results.back().state != cairnmoor::PackageState::installed()) {
            state.SkipWithError("the run did not install every package");
            break;
        }
        benchmark::DoNotOptimize(logLines);
        engineSeconds += std::chrono::duration<double>(middle - start).count();
        bareSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["run_ms"] = engineSeconds / runs * 1e3;
    state.counters["children_ms"] = bareSeconds / runs * 1e3;
    state.counters["overhead_per_package_us"] =
        (engineSeconds - bareSeconds) / runs / packageCount * 1e6;
}
BENCHMARK(BM_EngineTwoHundredPackages)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
