#pragma once

#include "catalogue/Catalog.hpp"
#include "managers/PackageManager.hpp"
#include "support/TempDir.hpp"
#include "views/CairnmoorViewModel.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace cairnmoor::testing {

// The one application object of the test program (QGuiApplication, offscreen), made
// on first use unless the program already has one.
void ensureApplication();

// Processes events until `condition` holds or the deadline passes; returns the
// condition's last value.
bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds deadline = std::chrono::seconds(20));

// Sets (or, with none, removes) an environment variable; restores it when destroyed.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A small catalogue with the cases the window logic cares about:
//   Browsers:  alpha (cask, port, recommended), beta (formula, no port, recommended
//              false), gamma (cask "gamma-browser", port "gamma", no recommended mark)
//   Developer: delta (formula, port, recommended), echo (cask, no port, recommended)
//   Media:     foxtrot (cask, port)
//   golf: a category the catalogue does not list; hotel: no macOS record.
Catalog sampleCatalog();

// A temporary HOME holding a replacement catalogue, and a model built over it.
class ViewModelTest : public ::testing::Test {
protected:
    ViewModelTest();

    // A model whose managers are located at the given paths (none: not located).
    std::unique_ptr<CairnmoorViewModel>
    makeModel(std::map<PackageManager, std::string> managerPaths = {});
    void writeCatalogue(const Catalog& catalog) const;

    TempDir home_;
    ScopedEnv homeEnv_;
};

} // namespace cairnmoor::testing
