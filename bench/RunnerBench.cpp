// What the process runner costs on top of starting a child, how fast it delivers
// output lines, and how quickly a cancel ends a run.
#include "managers/ProcessRunner.hpp"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

void bareSpawnAndWait(const char* path) {
    char* argv[] = {const_cast<char*>(path), nullptr};
    pid_t processId = -1;
    if (posix_spawn(&processId, path, nullptr, nullptr, argv, environ) != 0) {
        throw std::runtime_error("posix_spawn failed");
    }
    int status = 0;
    while (waitpid(processId, &status, 0) == -1 && errno == EINTR) {
    }
}

// Each iteration starts /bin/true once bare (posix_spawn + waitpid) and once through the
// runner, interleaved so both see the same machine load. Counters: mean microseconds of
// each and their ratio.
void BM_RunnerOverheadAgainstBareSpawn(benchmark::State& state) {
    cairnmoor::ProcessRunner runner;
    double bareSeconds = 0;
    double runnerSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        bareSpawnAndWait("/bin/true");
        const auto middle = Clock::now();
        const auto result = runner.run("/bin/true", {}, 30);
        const auto end = Clock::now();
        benchmark::DoNotOptimize(result);
        bareSeconds += std::chrono::duration<double>(middle - start).count();
        runnerSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["bare_us"] = bareSeconds / runs * 1e6;
    state.counters["runner_us"] = runnerSeconds / runs * 1e6;
    state.counters["ratio"] = runnerSeconds / bareSeconds;
}
BENCHMARK(BM_RunnerOverheadAgainstBareSpawn)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// A child printing 1,000,000 short lines, every one handed to a callback.
void BM_OutputThroughput(benchmark::State& state) {
    constexpr long lines = 1'000'000;
    cairnmoor::ProcessRunner runner;
    for (auto _ : state) {
        long delivered = 0;
        runner.run("/bin/sh", {"-c", "yes 'short output line' | head -n 1000000"}, 0,
                   [&](const std::string& line) {
                       benchmark::DoNotOptimize(line.data());
                       ++delivered;
                   });
        if (delivered != lines) {
            state.SkipWithError("lines were lost");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_OutputThroughput)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// From cancel() being called to run() returning, for a child that obeys SIGTERM.
void BM_CancelLatency(benchmark::State& state) {
    for (auto _ : state) {
        cairnmoor::ProcessRunner runner;
        std::mutex lock;
        std::condition_variable ready;
        bool started = false;
        Clock::time_point returned;
        std::thread worker([&] {
            runner.run("/bin/sh", {"-c", "echo ready; exec sleep 30"}, 0, [&](const std::string&) {
                std::lock_guard guard(lock);
                started = true;
                ready.notify_all();
            });
            returned = Clock::now();
        });
        {
            std::unique_lock guard(lock);
            ready.wait(guard, [&] { return started; });
        }
        const auto cancelled = Clock::now();
        runner.cancel();
        worker.join();
        state.SetIterationTime(std::chrono::duration<double>(returned - cancelled).count());
    }
}
BENCHMARK(BM_CancelLatency)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
