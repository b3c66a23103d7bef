// Carrying a Mac over: capturing one with 300 casks and 500 formulae (the fake brew of the
// tests), and importing a 1,000-line Brewfile.
#include "catalogue/CatalogLoader.hpp"
#include "import/BrewfileReader.hpp"
#include "import/MacCapture.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// CPU time of this process (every thread), excluding its children.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The fake's state: 300 casks (a tenth from a tap), 500 formulae of which 100 are only
// dependencies. Half the casks' names are the shipped catalogue's.
fs::path fakeMac(const cairnmoor::Catalog& catalog) {
    const fs::path state = fs::temp_directory_path() / ("carry-bench-" + std::to_string(getpid()));
    fs::remove_all(state);
    const auto write = [&](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    };
    int casks = 0;
    for (const cairnmoor::AppEntry& entry : catalog.apps) {
        if (casks < 150 && entry.macos && entry.macos->isCask()) {
            write(state / "casks" / entry.macos->brew, "1.0.0\n");
            ++casks;
        }
    }
    for (int i = casks; i < 300; ++i) {
        write(state / "casks" /
                  (i % 10 ? "cask" + std::to_string(i) : "user/tap/cask" + std::to_string(i)),
              "1.0.0\n");
    }
    for (int i = 0; i < 500; ++i) {
        write(state / "formulae" / ("formula" + std::to_string(i)),
              i % 5 ? "1.0.0\n" : "1.0.0\ndependency\n");
    }
    return state;
}

// capture_ms is the whole capture, wall time, children included; own_cpu_ms is what it
// costs in this process (parsing, matching, the plan), the manager's time left out.
void BM_CaptureThreeHundredCasksFiveHundredFormulae(benchmark::State& state) {
    const cairnmoor::Catalog catalog = cairnmoor::CatalogLoader::loadEmbedded();
    const fs::path mac = fakeMac(catalog);
    ::setenv("CAIRNMOOR_FAKE_STATE", mac.c_str(), 1);
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double cpuStart = processCpuSeconds();
        const cairnmoor::MacCapture capture = cairnmoor::MacCapture::take(
            CAIRNMOOR_FAKES_DIR "/brew", cairnmoor::PackageManager::homebrew, catalog, {},
            cairnmoor::FileManager::defaultManager());
        cpu += processCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        if (capture.profile.apps.size() + capture.profile.packages.size() < 600) {
            state.SkipWithError("the capture missed packages");
            break;
        }
    }
    fs::remove_all(mac);
    state.counters["capture_ms"] = wall / static_cast<double>(state.iterations()) * 1e3;
    state.counters["own_cpu_ms"] = cpu / static_cast<double>(state.iterations()) * 1e3;
}
BENCHMARK(BM_CaptureThreeHundredCasksFiveHundredFormulae)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A Brewfile of 1,000 lines as people write them: comments, taps, options over lines,
// conditions, other entry kinds; read and matched against the shipped catalogue.
void BM_ImportThousandLineBrewfile(benchmark::State& state) {
    const cairnmoor::Catalog catalog = cairnmoor::CatalogLoader::loadEmbedded();
    std::string text;
    std::size_t app = 0;
    for (int line = 0; line < 1000;) {
        const cairnmoor::AppEntry* entry = nullptr;
        while (!entry || !entry->macos) {
            entry = &catalog.apps[app++ % catalog.apps.size()];
        }
        const std::string name = entry->macos->brew;
        const std::string kind = entry->macos->isCask() ? "cask" : "brew";
        switch (line % 10) {
        case 0:
            text += "# " + entry->summary + "\n";
            break;
        case 1:
            text += "tap \"user/tap" + std::to_string(line) + "\", trusted: true\n";
            break;
        case 2:
            text += "brew \"" + name + "\", args: [\"with-x\"], restart_service: :changed,\n";
            text += "  link: true\n";
            ++line;
            break;
        case 3:
            text += "mas \"App\", id: " + std::to_string(400000000 + line) + "\n";
            break;
        case 4:
            text += kind + " \"" + name + "\" if OS.mac?\n";
            break;
        default:
            text += kind + " '" + name + "' # from the team list\n";
        }
        ++line;
    }
    for (auto _ : state) {
        const cairnmoor::Brewfile read = cairnmoor::BrewfileReader::read(text);
        benchmark::DoNotOptimize(cairnmoor::Profile::gathering(read.packages, catalog));
    }
}
BENCHMARK(BM_ImportThousandLineBrewfile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
