// Many engine runs against the fake manager with random failures, hangs, time-outs and
// cancels: afterwards the process holds no more descriptors than before, has no child
// processes (running or zombie), nothing it started is still alive anywhere, and its
// memory has not grown beyond a small bound.
#include "install/InstallEngine.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/dev/fd")) {
        ++count;
    }
    return count;
}

long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    if (!(statm >> size >> resident)) {
        return -1;
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Processes that carry this run's marker in their environment: anything the engine
// started that is still alive, wherever it was reparented.
std::vector<int> markedProcesses(const std::string& marker) {
    std::vector<int> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(name) == ::getpid()) {
            continue;
        }
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(environ)),
                               std::istreambuf_iterator<char>());
        if (text.find(marker) != std::string::npos) {
            found.push_back(std::stoi(name));
        }
    }
    return found;
}

AppEntry formula(const std::string& name) {
    return AppEntry{name,
                    name,
                    "Tools",
                    "open-source",
                    "https://example.org",
                    "s",
                    MacOSInfo{name, "formula", std::nullopt},
                    std::nullopt};
}

// Cancels the engine once the chosen package reports installing.
class Canceller {
public:
    explicit Canceller(InstallEngine& engine) : engine_(engine), thread_([this] { wait(); }) {}
    ~Canceller() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void started() {
        {
            std::lock_guard lock(mutex_);
            started_ = true;
        }
        changed_.notify_all();
    }

private:
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_ || finished_; });
        if (started_ && !finished_) {
            lock.unlock();
            engine_.cancel();
        }
    }

    InstallEngine& engine_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    bool finished_ = false;
    std::thread thread_;
};

TEST(EngineSoak, ManyRunsLeaveNoDescriptorsProcessesOrGrowth) {
    if (!fs::exists("/proc/self/statm")) {
        GTEST_SKIP() << "needs /proc to count processes and memory";
    }
    const char* configured = std::getenv("CAIRNMOOR_SOAK_RUNS");
    const int runs = configured ? std::max(1, std::atoi(configured)) : 1000;

    testing::TempDir state;
    const std::string marker = "CAIRNMOOR_SOAK_MARKER=" + std::to_string(::getpid());
    ::setenv("CAIRNMOOR_SOAK_MARKER", std::to_string(::getpid()).c_str(), 1);
    ::setenv("CAIRNMOOR_FAKE_STATE", state.path().c_str(), 1);
    const std::string brew = std::string(CAIRNMOOR_FAKES_DIR) + "/brew";
    const std::vector<AppEntry> apps = {formula("alpha"), formula("beta"), formula("gamma")};

    std::mt19937 random(20261206);
    std::size_t descriptorsBefore = 0;
    long memoryBefore = 0;
    int cancelled = 0;
    int failed = 0;
    int timedOut = 0;
    const int warmUp = std::min(20, runs / 2);

    for (int run = 0; run < runs; ++run) {
        if (run == warmUp) {
            descriptorsBefore = openDescriptors();
            memoryBefore = residentKilobytes();
        }
        fs::remove_all(state / "formulae");
        const int scenario = static_cast<int>(random() % 100);
        const std::string target = apps[random() % apps.size()].id;
        ::unsetenv("CAIRNMOOR_FAKE_FAIL");
        ::unsetenv("CAIRNMOOR_FAKE_HANG");
        ::unsetenv("CAIRNMOOR_FAKE_IGNORE_TERM");
        InstallOptions options;
        options.skipInstalled = scenario % 2 == 0;
        options.upgradeIfPresent = false;
        options.timeoutSeconds = 30;
        bool cancelTarget = false;
        if (scenario < 30) {
            ::setenv("CAIRNMOOR_FAKE_FAIL", (target + ":3").c_str(), 1);
        } else if (scenario < 50) {
            ::setenv("CAIRNMOOR_FAKE_HANG", target.c_str(), 1);
            cancelTarget = true;
        } else if (scenario < 55) {
            ::setenv("CAIRNMOOR_FAKE_IGNORE_TERM", target.c_str(), 1);
            cancelTarget = true;
        } else if (scenario == 55) {
            ::setenv("CAIRNMOOR_FAKE_HANG", target.c_str(), 1);
            options.timeoutSeconds = 1;
        }

        InstallEngine engine;
        std::vector<PackageResult> results;
        {
            Canceller canceller(engine);
            results = engine.run(
                apps, options, brew, std::nullopt, std::nullopt,
                [&](const std::string& id, const PackageState& packageState) {
                    if (cancelTarget && id == target &&
                        packageState.kind == PackageState::Kind::installing) {
                        canceller.started();
                    }
                },
                [](const std::string&) {});
        }
        ASSERT_EQ(results.size(), apps.size());
        for (const PackageResult& result : results) {
            ASSERT_TRUE(result.state.isFinal());
            cancelled += result.state.kind == PackageState::Kind::skipped;
            failed += result.state.kind == PackageState::Kind::failed;
            timedOut += result.state.message == "Homebrew command timed out";
        }
    }

    EXPECT_GT(cancelled, 0);
    EXPECT_GT(failed, 0);
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a child process is still ours";
    EXPECT_EQ(errno, ECHILD);
    // A killed group's last members may take a moment to be reaped by init.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!markedProcesses(marker).empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(markedProcesses(marker).empty()) << "a process the engine started survived";
    const long grown = residentKilobytes() - memoryBefore;
    EXPECT_LT(grown, 8 * 1024) << "resident memory grew by " << grown << " KiB";
    std::printf("soak: %d runs, descriptors %zu -> %zu, resident %ld KiB -> %ld KiB, "
                "%d skipped, %d failed (%d timed out)\n",
                runs, descriptorsBefore, openDescriptors(), memoryBefore, residentKilobytes(),
                cancelled, failed, timedOut);
}

} // namespace
} // namespace cairnmoor
