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
#include <thread>

namespace cairnmoor {

using namespace std::chrono_literals;

inline AppEntry app(const std::string& id, const std::string& name, const std::string& brew,
                    const std::string& type, std::optional<std::string> macports = std::nullopt) {
    return AppEntry{id,
                    name,
                    "Tools",
                    "MIT",
                    "https://example.org/" + id,
                    name,
                    MacOSInfo{brew, type, std::move(macports)},
                    std::nullopt};
}

const AppEntry alpha = app("alpha", "Alpha", "alpha", "cask", "alpha");
const AppEntry beta = app("beta", "Beta", "beta", "formula", "beta");
const AppEntry gamma = app("gamma", "Gamma", "gamma", "cask", "gamma");
const PackageManager brew = PackageManager::homebrew;
const PackageManager port = PackageManager::macports;

// Every callback in the order it came, one line each: "progress <id> <state>[: message]"
// (progress belongs on the thread that called run) and "log <line>".
class Recorder {
public:
    InstallEngine::ProgressHandler progress() {
        return [this](const std::string& id, const PackageState& state) {
            add(std::string(std::this_thread::get_id() != caller_ ? "off thread: " : "") +
                "progress " + id + " " + std::string(state.caseName()) +
                (state.kind == PackageState::Kind::failed ? ": " + state.message : ""));
        };
    }
    InstallEngine::LogHandler log() {
        return [this](const std::string& line) { add("log " + line); };
    }
    std::vector<std::string> events() const {
        std::lock_guard guard(lock_);
        return events_;
    }
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
    void add(std::string event) {
        std::lock_guard guard(lock_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }

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

// An engine run against the fake managers in a fresh state folder, every knob cleared.
class Engine : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("CAIRNMOOR_FAKE_STATE", state_.path().c_str(), 1); }
    void TearDown() override {
        for (const char* knob : {"STATE", "FAIL", "HANG", "IGNORE_TERM", "UPDATE_FAIL", "LIST_FAIL",
                                 "LIST_GARBAGE", "NONE"}) {
            ::unsetenv(("CAIRNMOOR_FAKE_" + std::string(knob)).c_str());
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
        return engine_.run(apps, options, path.value_or(fake(options.packageManager)),
                           {recorder_.progress(), recorder_.log(), {}});
    }
    void install(const std::string& relative) const { state_.write(relative, ""); }
    std::string invocations() const {
        const auto file = state_ / "invocations.log";
        return std::filesystem::exists(file) ? testing::readFile(file) : "";
    }
    bool waitForInvocation(const std::string& line) const {
        for (const auto end = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms)) {
            if (invocations().find(line + "\n") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    testing::TempDir state_;
    InstallEngine engine_;
    Recorder recorder_;
};

} // namespace cairnmoor
