#pragma once

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// Homebrew's fixed places are searched before PATH: on a machine with a real Homebrew the
// fake would be passed over, so unless the build lets the sandbox empty that list, tests
// that reach the manager do not run there.
#define SKIP_WHERE_A_REAL_HOMEBREW_WINS()                                                          \
    if (::cairnmoor::testing::CliSandbox::realHomebrewInTheWay())                                  \
    GTEST_SKIP() << "a real Homebrew would be found before the fake"

namespace cairnmoor::testing {

// What a finished run of the executable left behind.
struct CliResult {
    std::string out;
    std::string err;
    int status = -1; // the exit status, or minus the signal that ended the run
};

// Waits until the condition holds; false when the deadline passes first.
template <typename Condition>
bool eventually(Condition condition,
                std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    for (const auto end = std::chrono::steady_clock::now() + deadline; !condition();) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A user's world for one test: a temporary home, a working folder, a bin folder on
// PATH with the fake `brew`, and the fake's state folder. The built Cairnmoor runs in
// the working folder with exactly `environment`, standard input from /dev/null, each
// output stream captured in a file of its own, in a session of its own (no terminal,
// as under a launcher or a fleet agent, whatever terminal the tests run in).
class CliSandbox {
public:
    CliSandbox();
    ~CliSandbox();

    // Homebrew's fixed places are searched before PATH, so on a machine with a real
    // Homebrew the fake would be passed over: tests that install must not run there.
    static bool realHomebrewInTheWay();

    const std::filesystem::path& home() const { return home_; }
    const std::filesystem::path& work() const { return work_; }
    std::string brewPath() const { return (root_ / "bin/brew").string(); }
    // Writes a file under the sandbox: "home/...", "work/...", "state/...".
    void write(const std::string& relative, const std::string& text) const {
        root_.write(relative, text);
    }

    // Puts a replacement catalogue where the loader looks for one. The test catalogue
    // has alpha (cask), beta (formula), gamma (cask) and delta (no macOS record).
    void writeCatalogue(const std::string& json = catalogue) const;
    void writeProfile(const std::string& fileName, const std::vector<std::string>& apps,
                      const std::string& optionsJson = defaultOptions) const;
    // What the fake was asked to do, one command line per entry.
    std::vector<std::string> invocations() const;

    std::map<std::string, std::string> environment;
    std::filesystem::path executable = CAIRNMOOR_EXECUTABLE;
    // Bash run just before Cairnmoor, in the same process, as a launcher would leave
    // things: "trap '' HUP;", "exec >&-;", "ulimit -n 8;".
    std::string launcher;
    // Standard output goes here instead of the capture file when set.
    int outputDescriptor = -1;
    // As root, the tests play an ordinary user: before each run the sandbox is handed
    // to `user` and Cairnmoor runs as that user, unless `runAsRoot` (a fleet agent).
    std::string user = "nobody";
    bool runAsRoot = false;

    CliResult run(const std::vector<std::string>& arguments) const {
        return finish(start(arguments));
    }
    // Starts a run the test wants to watch or interrupt.
    pid_t start(const std::vector<std::string>& arguments) const;
    // Starts a run on a new pseudo-terminal, through the shell snippet when there is one
    // (as the launcher is); `terminal` gets the terminal's other end.
    pid_t startInTerminal(const std::vector<std::string>& arguments, const std::string& shell,
                          int& terminal) const;
    // Empty until the run has opened its output.
    std::string outputSoFar() const {
        return std::filesystem::exists(root_ / "stdout") ? readFile(root_ / "stdout") : "";
    }
    // Waits for the run to end. One still going after a minute is killed, with its
    // children's process groups, and the test fails.
    CliResult finish(pid_t pid) const;

    static const std::string catalogue;
    static const std::string defaultOptions;

private:
    pid_t launch(const std::vector<std::string>& arguments, int terminal,
                 const std::string& shell) const;
    // As root, hands the sandbox over; then what starts Cairnmoor as the user.
    std::vector<std::string> handOver() const;

    TempDir root_;
    std::filesystem::path home_ = root_ / "home", work_ = root_ / "work";
    mutable std::vector<pid_t> running_;
};

// A sandbox with the test catalogue and team.cmprofile (alpha and beta).
class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WHERE_A_REAL_HOMEBREW_WINS();
        sandbox.writeCatalogue();
        sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
    }
    CliSandbox sandbox;
};

// The process groups of the direct children of a process (from `ps`).
std::vector<pid_t> childProcessGroups(pid_t parent);
// Whether any process of the group is still running (zombies, ended but not yet reaped
// by whoever adopted them, do not count).
bool groupRunning(pid_t group);

} // namespace cairnmoor::testing
