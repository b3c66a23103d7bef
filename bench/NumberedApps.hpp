#pragma once

#include "catalogue/AppEntry.hpp"

#include <functional>
#include <string>
#include <vector>

// The selection a benchmark runs: app0, app1, ...; `kind(i)` is entry i's Homebrew kind
// ("cask" or "formula").
inline std::vector<cairnmoor::AppEntry> numberedApps(int count,
                                                     const std::function<std::string(int)>& kind) {
    std::vector<cairnmoor::AppEntry> apps;
    for (int i = 0; i < count; ++i) {
        cairnmoor::AppEntry entry;
        entry.id = "app" + std::to_string(i);
        entry.name = "App " + std::to_string(i);
        entry.macos = cairnmoor::MacOSInfo{entry.id, kind(i), std::nullopt};
        apps.push_back(entry);
    }
    return apps;
}
