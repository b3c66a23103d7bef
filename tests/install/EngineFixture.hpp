#pragma once

// The engine against the fake managers: entries, a recorder of every callback, a fixture
// with a fresh state folder.
#include "install/InstallEngine.hpp"
#include "support/TempDir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cairnmoor {

using namespace std::chrono_literals;

inline AppEntry app(const std::string& id, const std::string& name, const std::string& brew,
                    const std::string& type, std::optional<std::string> macports = std::nullopt) {
    AppEntry entry;
    entry.id = id;
    entry.name = name;
    entry.category = "Tools";
    entry.licence = "MIT";
    entry.homepage = "https://example.org/" + id;
    entry.summary = name;
    entry.macos = MacOSInfo{brew, type, std::move(macports)};
    return entry;
}

const AppEntry alpha = app("alpha", "Alpha", "alpha", "cask", "alpha");
const AppEntry beta = app("beta", "Beta", "beta", "formula", "beta");
const AppEntry gamma = app("gamma", "Gamma", "gamma", "cask", "gamma");
const PackageManager brew = PackageManager::homebrew;
const PackageManager port = PackageManager::macports;

// Every callback in the order it came: "progress <id> <state>[: message]" and "log <line>".
class Recorder {
public:
    InstallEngine::ProgressHandler progress() {
        return [this](const std::string& id, const PackageState& state) {
            std::lock_guard guard(lock_);
            // Progress belongs on the thread that called run.
            std::string event = std::this_thread::get_id() != caller_ ? "off thread: " : "";
            event += "progress " + id + " " + std::string(state.caseName());
            if (state.kind == PackageState::Kind::failed) {
                event += ": " + state.message;
            }
            events_.push_back(event);
            changed_.notify_all();
        };
    }
    InstallEngine::LogHandler log() {
        return [this](const std::string& line) {
            std::lock_guard guard(lock_);
            events_.push_back("log " + line);
            changed_.notify_all();
        };
    }
    std::vector<std::string> events() const {
        std::lock_guard guard(lock_);
        return events_;
    }
    // One event per line, as the golden files hold them.
    std::string joined() const {
        std::string text;
        for (const std::string& event : events()) {
            text += event + "\n";
        }
        return text;
    }
    bool waitFor(const std::string& event) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, 10s, [&] {
            return std::find(events_.begin(), events_.end(), event) != events_.end();
        });
    }

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::thread::id caller_ = std::this_thread::get_id();
};

inline std::vector<PackageState> statesOf(const std::vector<PackageResult>& results) {
    std::vector<PackageState> states;
    for (const PackageResult& result : results) {
        states.push_back(result.state);
    }
    return states;
}

inline const char* const knobs[] = {"CAIRNMOOR_FAKE_FAIL",         "CAIRNMOOR_FAKE_HANG",
                                    "CAIRNMOOR_FAKE_IGNORE_TERM",  "CAIRNMOOR_FAKE_FLOOD",
                                    "CAIRNMOOR_FAKE_UPDATE_FAIL",  "CAIRNMOOR_FAKE_LIST_FAIL",
                                    "CAIRNMOOR_FAKE_LIST_GARBAGE", "CAIRNMOOR_FAKE_NONE"};

// An engine run against the fake managers in a fresh state folder.
class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("CAIRNMOOR_FAKE_STATE", state_.path().c_str(), 1);
        for (const char* knob : knobs) {
            ::unsetenv(knob);
        }
    }
    void TearDown() override {
        ::unsetenv("CAIRNMOOR_FAKE_STATE");
        for (const char* knob : knobs) {
            ::unsetenv(knob);
        }
    }

    static std::string fake(PackageManager manager) {
        return std::string(CAIRNMOOR_FAKES_DIR) + "/" + std::string(manager.executableName());
    }
    // Without the downloads ahead unless asked: they have tests of their own.
    static InstallOptions options(PackageManager manager = brew, bool prefetch = false) {
        InstallOptions options;
        options.packageManager = manager;
        options.timeoutSeconds = 30;
        options.prefetch = prefetch;
        return options;
    }
    std::vector<PackageResult> run(const std::vector<AppEntry>& apps, const InstallOptions& options,
                                   std::optional<std::string> path = std::nullopt) {
        return engine_.run(apps, options, path.value_or(fake(options.packageManager)), std::nullopt,
                           std::nullopt, recorder_.progress(), recorder_.log());
    }
    void install(const std::string& relative) const { state_.write(relative, ""); }
    std::string invocations() const {
        const auto file = state_ / "invocations.log";
        return std::filesystem::exists(file) ? testing::readFile(file) : "";
    }
    // Waits (with a deadline) until the fake has recorded this command line.
    bool waitForInvocation(const std::string& line) const {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < end) {
            if (invocations().find(line + "\n") != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    testing::TempDir state_;
    InstallEngine engine_;
    Recorder recorder_;
};

} // namespace cairnmoor
