#include "CliSandbox.hpp"

#include "managers/PackageManagerLocator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor::testing {

namespace fs = std::filesystem;

const std::string CliSandbox::catalogue =
    readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/cli/catalog.json");

const std::string CliSandbox::defaultOptions =
    R"({"packageManager": "homebrew", "skipInstalled": true, "upgradeIfPresent": true,
        "runUpdateFirst": false, "writeLog": true, "timeoutSeconds": 60, "prefetch": false})";

CliSandbox::CliSandbox() {
    for (const char* folder : {"home", "work", "bin", "state"}) {
        fs::create_directories(root_ / folder);
    }
    fs::create_symlink(fs::path(CAIRNMOOR_FAKES_DIR) / "brew", brewPath());
    environment = {{"HOME", home_.string()},
                   {"PATH", (root_ / "bin").string() + ":/usr/bin:/bin"},
                   {"CAIRNMOOR_FAKE_STATE", (root_ / "state").string()},
                   {PackageManagerLocator::testKnownPathsVariable, ""},
                   {"LANG", utf8Locale}};
    // Sanitizer builds read their settings from the environment; pass them on.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            environment[name] = value;
        }
    }
}

namespace {

// Kills a run and, first, the groups of the package managers it started (they sit
// out of its own group); returns its wait status.
int killRun(pid_t pid) {
    for (const pid_t group : childProcessGroups(pid)) {
        ::kill(-group, SIGKILL);
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

} // namespace

CliSandbox::~CliSandbox() {
    for (const pid_t pid : running_) {
        killRun(pid);
    }
}

bool CliSandbox::realHomebrewInTheWay() {
    return !PackageManagerLocator::honoursTestKnownPaths() &&
           (fs::exists("/opt/homebrew/bin/brew") || fs::exists("/usr/local/bin/brew"));
}

void CliSandbox::writeCatalogue(const std::string& json) const {
    write("home/Library/Application Support/Cairnmoor/catalog.json", json);
}

void CliSandbox::writeProfile(const std::string& fileName, const std::vector<std::string>& apps,
                              const std::string& optionsJson) const {
    std::string list;
    for (const std::string& id : apps) {
        list += (list.empty() ? "\"" : ", \"") + id + "\"";
    }
    write("work/" + fileName, R"({"schema": 2, "created": "2026-12-01T10:00:00Z", "apps": [)" +
                                  list + R"(], "options": )" + optionsJson + "}");
}

std::vector<std::string> CliSandbox::invocations() const {
    std::vector<std::string> lines;
    std::ifstream log(root_ / "state/invocations.log");
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    return lines;
}

namespace {

// argv for Cairnmoor, through bash when a launcher snippet comes first.
std::vector<std::string> commandLine(std::vector<std::string> strings, const fs::path& executable,
                                     const std::string& launcher,
                                     const std::vector<std::string>& arguments) {
    if (!launcher.empty()) {
        strings.insert(strings.end(), {"/bin/bash", "-c", launcher + " exec \"$0\" \"$@\""});
    }
    strings.push_back(executable.string());
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    return strings;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& text : strings) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

} // namespace

std::vector<std::string> CliSandbox::handOver() const {
    const passwd* entry = ::getpwnam(user.c_str());
    if (::geteuid() != 0 || entry == nullptr) {
        return {};
    }
    const std::string uid = std::to_string(entry->pw_uid), gid = std::to_string(entry->pw_gid);
    if (runAsRoot) {
        // Homebrew then runs as `user` with an environment of its own: the fake's knobs
        // go in a file beside it.
        std::string settings;
        for (const auto& [name, value] : environment) {
            if (name.starts_with("CAIRNMOOR_FAKE_")) {
                std::string quoted = value;
                for (std::size_t at = 0; (at = quoted.find('\'', at)) != std::string::npos;
                     at += 4) {
                    quoted.replace(at, 1, "'\\''");
                }
                settings += name + "='" + quoted + "'\n";
            }
        }
        write("bin/fake-settings", settings);
    }
    if (std::system(("chown -hR " + uid + ":" + gid + " " + root_.path().string()).c_str()) != 0) {
        throw std::runtime_error("cannot hand the sandbox to " + user);
    }
    if (runAsRoot) {
        return {};
    }
    return {"/usr/bin/setpriv", "--reuid=" + uid, "--regid=" + gid, "--clear-groups", "--"};
}

pid_t CliSandbox::start(const std::vector<std::string>& arguments) const {
    return launch(arguments, -1, launcher);
}

pid_t CliSandbox::startInTerminal(const std::vector<std::string>& arguments,
                                  const std::string& shell, int& terminal) const {
    terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    return launch(arguments, terminal, shell);
}

// In a session of its own, with default signal handling whatever the test runner set up;
// on the terminal when one is given (as its controlling terminal), else on files.
pid_t CliSandbox::launch(const std::vector<std::string>& arguments, int terminal,
                         const std::string& shell) const {
    std::vector<std::string> strings = commandLine(handOver(), executable, shell, arguments);
    std::vector<std::string> variables{"TERM=dumb"};
    for (const auto& [name, value] : environment) {
        variables.push_back(name + "=" + value);
    }
    std::vector<char*> argv = pointers(strings);
    std::vector<char*> envp = pointers(variables);
    const std::string device = terminal >= 0 ? ::ptsname(terminal) : "";
    const std::string out = (root_ / "stdout").string(), err = (root_ / "stderr").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::setsid();
        const int create = O_WRONLY | O_CREAT | O_TRUNC;
        const int in =
            terminal >= 0 ? ::open(device.c_str(), O_RDWR) : ::open("/dev/null", O_RDONLY);
        if (in < 0 || (terminal >= 0 && ::ioctl(in, TIOCSCTTY, 0) != 0) ||
            ::chdir(work_.c_str()) != 0) {
            ::_exit(127);
        }
        ::dup2(in, STDIN_FILENO);
        ::dup2(terminal >= 0           ? in
               : outputDescriptor >= 0 ? outputDescriptor
                                       : ::open(out.c_str(), create, 0600),
               STDOUT_FILENO);
        ::dup2(terminal >= 0 ? in : ::open(err.c_str(), create, 0600), STDERR_FILENO);
        for (int fd = STDERR_FILENO + 1; fd < 256; ++fd) {
            ::close(fd);
        }
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
            ::sigaction(signalNumber, &standard, nullptr);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0) {
        throw std::runtime_error("cannot start " + executable.string());
    }
    running_.push_back(pid);
    return pid;
}

CliResult CliSandbox::finish(pid_t pid) const {
    int status = 0;
    if (!eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; },
                    std::chrono::seconds(60))) {
        ADD_FAILURE() << "Cairnmoor did not end in time; killed";
        status = killRun(pid);
    }
    std::erase(running_, pid);
    const auto captured = [&](const char* name) {
        return fs::exists(root_ / name) ? readFile(root_ / name) : std::string();
    };
    return {captured("stdout"), captured("stderr"),
            WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status)};
}

namespace {

// Process id, parent, group and state of every process (from `ps`).
std::vector<std::array<long, 4>> processes() {
    std::vector<std::array<long, 4>> result;
    FILE* listing = ::popen("ps -A -o pid= -o ppid= -o pgid= -o stat=", "r");
    long pid = 0, ppid = 0, pgid = 0;
    char state[16] = {};
    while (listing != nullptr &&
           std::fscanf(listing, "%ld %ld %ld %15s", &pid, &ppid, &pgid, state) == 4) {
        result.push_back({pid, ppid, pgid, state[0]});
    }
    if (listing != nullptr) {
        ::pclose(listing);
    }
    return result;
}

} // namespace

// Zombies do not count: they have ended, only their parent has not looked yet.
bool groupRunning(pid_t group) {
    const auto all = processes();
    return std::any_of(all.begin(), all.end(),
                       [&](const auto& p) { return p[2] == group && p[3] != 'Z'; });
}

std::vector<pid_t> childProcessGroups(pid_t parent) {
    std::vector<pid_t> groups;
    for (const auto& p : processes()) {
        if (p[1] == parent && p[3] != 'Z') {
            groups.push_back(static_cast<pid_t>(p[2]));
        }
    }
    return groups;
}

} // namespace cairnmoor::testing
