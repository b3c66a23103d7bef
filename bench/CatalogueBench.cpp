// Decoding a large catalogue and searching it, as the window does on every keystroke.
#include "catalogue/CatalogLoader.hpp"
#include "catalogue/CatalogSearch.hpp"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace cairnmoor;

constexpr int kEntries = 20000;

// A catalogue shaped like the shipped one: every entry has all display fields, most
// have a macOS record, some a MacPorts name, a few a recommended mark, and about one
// in ten has text outside ASCII.
Catalog generatedCatalogue() {
    static const char* categories[] = {"Browsers",  "Developer Tools", "Graphics", "Music",
                                       "Utilities", "Productivity",    "Security", "Video"};
    static const char* words[] = {"fast",   "private", "editor",  "viewer", "manager", "player",
                                  "vector", "raster",  "network", "backup", "notes",   "sync"};
    Catalog catalog;
    catalog.updated = "2026-12-06";
    catalog.licences = {{"MIT", "MIT licence"}, {"GPL-3.0", "GNU GPL 3"}, {"free", "Freeware"}};
    catalog.categories.assign(std::begin(categories), std::end(categories));
    for (int i = 0; i < kEntries; ++i) {
        const std::string id = "app-" + std::to_string(i);
        AppEntry entry;
        entry.id = id;
        entry.name = std::string(i % 10 == 0 ? "\xC3\x89"
                                               "tude "
                                             : "Tool ") +
                     words[i % 12] + " " + std::to_string(i);
        entry.category = categories[i % 8];
        entry.licence = i % 3 == 0 ? "MIT" : "GPL-3.0";
        entry.homepage = "https://" + id + ".example.org/";
        entry.summary = std::string("A ") + words[(i * 7) % 12] + " " + words[(i * 5) % 12] +
                        " for everyday work, with plugins and themes.";
        if (i % 20 != 0) {
            entry.macos = MacOSInfo{id, i % 2 ? "cask" : "formula",
                                    i % 3 ? std::optional(id + "-port") : std::nullopt};
        }
        if (i % 9 == 0) {
            entry.recommended = true;
        }
        catalog.apps.push_back(std::move(entry));
    }
    return catalog;
}

const std::string& catalogueText() {
    static const std::string text = CatalogLoader::encode(generatedCatalogue());
    return text;
}

void BM_DecodeCatalogue(benchmark::State& state) {
    const std::string& text = catalogueText();
    for (auto _ : state) {
        Catalog catalog = CatalogLoader::decode(text);
        benchmark::DoNotOptimize(catalog.apps.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["entries"] = kEntries;
}
BENCHMARK(BM_DecodeCatalogue)->Unit(benchmark::kMillisecond);

// "sync" occurs in a quarter of the summaries: the scan plus copying 5,000 results.
// "qz" occurs nowhere: the scan alone, every field of every entry.
void BM_FilterShortQuery(benchmark::State& state, const char* query) {
    const std::vector<AppEntry> apps = CatalogLoader::decode(catalogueText()).apps;
    std::size_t matched = 0;
    for (auto _ : state) {
        const auto result = CatalogSearch::filter(apps, query);
        matched = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["matched"] = static_cast<double>(matched);
}
BENCHMARK_CAPTURE(BM_FilterShortQuery, sync, "sync")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FilterShortQuery, noMatch, "qz")->Unit(benchmark::kMillisecond);

// A query outside ASCII takes the slower Unicode path for every field it compares.
void BM_FilterUnicodeQuery(benchmark::State& state) {
    const std::vector<AppEntry> apps = CatalogLoader::decode(catalogueText()).apps;
    std::size_t matched = 0;
    for (auto _ : state) {
        const auto result = CatalogSearch::filter(apps, "\xC3\xA9tude");
        matched = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["matched"] = static_cast<double>(matched);
}
BENCHMARK(BM_FilterUnicodeQuery)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
