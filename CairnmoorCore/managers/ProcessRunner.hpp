#pragma once

#include "managers/CommandResult.hpp"
#include "platform/Account.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cairnmoor {

// Runs one package-manager command at a time as a child in its own process group,
// streams its output line by line, enforces a time limit, and can be cancelled from
// any thread. A cancel is for good: every later run returns at once as cancelled.
class ProcessRunner {
public:
    using OutputHandler = std::function<void(const std::string& line)>;

    // How children are started; chosen by the front end, never by the engine.
    // The executable as it was checked, links followed: the file's identity.
    struct ExecutableIdentity {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        uid_t owner = 0;

        bool operator==(const ExecutableIdentity&) const = default;
        // Of the file the path leads to now; none when it cannot be examined.
        static std::optional<ExecutableIdentity> of(const std::string& path);
    };

    struct Settings {
        // When this process is the foreground job of its terminal, each child gets the
        // terminal's foreground while it runs, so a password prompt reaches the person
        // (and Ctrl-C typed there ends the whole run, as in a shell). Otherwise, and
        // always when false or when children run as another account, a child runs in
        // a session of its own with no terminal and /dev/null as input, so a prompt
        // fails at once instead of waiting unseen.
        bool shareTerminal = false;
        // Variables set in every child's environment; the rest is inherited, except by
        // a child that runs as another account.
        std::vector<std::pair<std::string, std::string>> environment;
        // The account every child runs as instead of ours (only a process running as
        // root can switch): its groups, group and user ids, and its home folder as the
        // working directory ("/" when that cannot be entered). Such a child gets nothing
        // of ours it does not need: its environment is built from nothing (HOME, USER,
        // LOGNAME and SHELL from the account; PATH the executable's folder and the
        // system's; our LANG, LC_* and HOMEBREW_* variables; `environment`).
        // None: children run as we do.
        std::optional<Account> account;
        // When set, each run first makes sure that `path` still leads to this file; when
        // it does not, the run throws CommandError::replaced and the runner is cancelled
        // for good, so a swapped executable never runs.
        std::optional<ExecutableIdentity> executable;
    };

    ProcessRunner();
    explicit ProcessRunner(Settings settings);
    ~ProcessRunner();
    ProcessRunner(const ProcessRunner&) = delete;
    ProcessRunner& operator=(const ProcessRunner&) = delete;

    // Blocks until the child has exited. `timeout` in seconds; 0, negative or NaN mean
    // no limit. Output lines go to `onOutput`, standard error's too unless
    // `onErrorOutput` is given. Bytes that are not UTF-8 arrive as U+FFFD. The handlers
    // are called on this thread, one line at a time; a handler that blocks (a stalled
    // reader of our own output) does not hold up the time limit or a cancel. Throws
    // CommandError::cannotLaunch when the child cannot be started.
    CommandResult run(const std::string& executable, const std::vector<std::string>& arguments,
                      double timeout, const OutputHandler& onOutput = {},
                      const OutputHandler& onErrorOutput = {});
    // Stops the run in progress (SIGTERM to its group, SIGKILL after half a second)
    // and every later one. Never blocks.
    void cancel();
    bool isCancelled() const;

    const Settings& settings() const { return settings_; }

private:
    class Run;

    const Settings settings_;
    // Guards everything below. A run is unregistered before its child is reaped, so a
    // cancel never signals a process identifier that may have been reused.
    mutable std::mutex lock_;
    bool didCancel_ = false;
    bool running_ = false;
    Run* active_ = nullptr; // the run whose child may still be signalled

    class Timekeeper;
    std::unique_ptr<Timekeeper> timekeeper_; // from the first run on; only run() touches it
};

} // namespace cairnmoor
