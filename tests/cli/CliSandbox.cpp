#include "CliSandbox.hpp"

#include <gtest/gtest.h>

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

const std::string CliSandbox::catalogue = R"({"schema": 2, "updated": "2026-12-01",
  "licences": {"free": "Free to use."}, "categories": ["Tools"], "apps": [
  {"id": "alpha", "name": "Alpha", "category": "Tools", "licence": "free", "homepage": "https://a.example",
   "summary": "A.", "macos": {"brew": "alpha", "type": "cask"}},
  {"id": "beta", "name": "Beta", "category": "Tools", "licence": "free", "homepage": "https://b.example",
   "summary": "B.", "macos": {"brew": "beta", "type": "formula"}},
  {"id": "gamma", "name": "Gamma", "category": "Tools", "licence": "free", "homepage": "https://g.example",
   "summary": "G.", "macos": {"brew": "gamma", "type": "cask"}},
  {"id": "delta", "name": "Delta", "category": "Tools", "licence": "free", "homepage": "https://d.example",
   "summary": "D."}]})";

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
                   {"LANG", "C.UTF-8"}};
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
    return fs::exists("/opt/homebrew/bin/brew") || fs::exists("/usr/local/bin/brew");
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
    if (std::system(("chown -hR " + uid + ":" + gid + " " + root_.path().string()).c_str()) != 0) {
        throw std::runtime_error("cannot hand the sandbox to " + user);
    }
    if (runAsRoot) {
        return {};
    }
    return {"/usr/bin/setpriv", "--reuid=" + uid, "--regid=" + gid, "--clear-groups", "--"};
}

pid_t CliSandbox::start(const std::vector<std::string>& arguments) const {
    std::vector<std::string> strings = commandLine(handOver(), executable, launcher, arguments);
    std::vector<std::string> variables;
    for (const auto& [name, value] : environment) {
        variables.push_back(name + "=" + value);
    }
    std::vector<char*> argv = pointers(strings);
    std::vector<char*> envp = pointers(variables);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int create = O_WRONLY | O_CREAT | O_TRUNC;
    const fs::path out = root_ / "stdout", err = root_ / "stderr";
    if (outputDescriptor >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputDescriptor, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), create, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), create, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, work_.c_str());
    // Start with default signal handling whatever the test runner set up.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        throw std::runtime_error("cannot start " + executable.string());
    }
    running_.push_back(pid);
    return pid;
}

pid_t CliSandbox::startInTerminal(const std::vector<std::string>& arguments, bool background,
                                  int& terminal) const {
    terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const std::string device = ::ptsname(terminal);
    // A job-control shell puts the run in a group of its own, in the background.
    std::vector<std::string> strings =
        commandLine(handOver(), executable,
                    background ? "set -m; \"$0\" \"$@\" & wait $!; exit $?;" : launcher, arguments);
    std::vector<std::string> variables;
    for (const auto& [name, value] : environment) {
        variables.push_back(name + "=" + value);
    }
    variables.push_back("TERM=dumb");
    std::vector<char*> argv = pointers(strings);
    std::vector<char*> envp = pointers(variables);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::setsid();
        const int slave = ::open(device.c_str(), O_RDWR);
        if (slave < 0 || ::ioctl(slave, TIOCSCTTY, 0) != 0 || ::chdir(work_.c_str()) != 0) {
            ::_exit(127);
        }
        ::dup2(slave, STDIN_FILENO);
        ::dup2(slave, STDOUT_FILENO);
        ::dup2(slave, STDERR_FILENO);
        ::close(slave);
        ::close(terminal);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0) {
        throw std::runtime_error("cannot fork");
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

bool groupRunning(pid_t group) {
    const std::string command = "ps -A -o pgid= -o stat=";
    FILE* listing = ::popen(command.c_str(), "r");
    long pgid = 0;
    char state[16] = {};
    bool running = false;
    while (listing != nullptr && std::fscanf(listing, "%ld %15s", &pgid, state) == 2) {
        running = running || (pgid == group && state[0] != 'Z');
    }
    if (listing != nullptr) {
        ::pclose(listing);
    }
    return running;
}

std::vector<pid_t> childProcessGroups(pid_t parent) {
    std::vector<pid_t> groups;
    // Zombies do not count: they have ended, only their parent has not looked yet.
    FILE* listing = ::popen("ps -A -o pid= -o ppid= -o pgid= -o stat=", "r");
    long pid = 0, ppid = 0, pgid = 0;
    char state[16] = {};
    while (listing != nullptr &&
           std::fscanf(listing, "%ld %ld %ld %15s", &pid, &ppid, &pgid, state) == 4) {
        if (ppid == parent && state[0] != 'Z') {
            groups.push_back(static_cast<pid_t>(pgid));
        }
    }
    if (listing != nullptr) {
        ::pclose(listing);
    }
    return groups;
}

} // namespace cairnmoor::testing
