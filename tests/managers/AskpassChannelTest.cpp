// The administrator password's way from the window to sudo: the fake brew runs the fake
// `sudo -A`, which runs the real helper (Cairnmoor through the channel's link), which asks
// the channel; the "person" answers from a script. Then the channel against strangers.
#include "managers/AskpassChannel.hpp"

#include "install/EngineFixture.hpp"

#include <atomic>
#include <csignal>
#include <cstring>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

namespace cairnmoor {
namespace {

using ::testing::ElementsAreArray;

constexpr const char* password = "correct horse";
constexpr const char* cancel = "<cancel>"; // the person presses Cancel
constexpr const char* ignore = "<ignore>"; // the person never answers

struct AskCase {
    const char* name;
    std::vector<AppEntry> apps; // each asks for the password
    std::vector<std::string> typed;
    bool keep;
    std::vector<bool> retries; // of each request the person saw
    std::vector<PackageState> states;
    friend void PrintTo(const AskCase& c, std::ostream* os) { *os << c.name; }
};

class Askpass : public Engine, public ::testing::WithParamInterface<AskCase> {};

TEST_P(Askpass, ThePasswordReachesSudoAndNothingElse) {
    const AskCase& c = GetParam();
    state_.write("sudo-password", std::string(password) + "\n");
    ::setenv("CAIRNMOOR_FAKE_SUDO", "alpha gamma", 1);
    std::vector<bool> retries;
    std::vector<std::uint64_t> withdrawn;
    std::size_t next = 0;
    // Published to the channel's thread through an atomic: the request that reads it comes
    // through a child and a socket, which the thread sanitizer cannot see order.
    std::atomic<AskpassChannel*> live{nullptr};
    auto channel = std::make_unique<AskpassChannel>(
        CAIRNMOOR_EXECUTABLE,
        AskpassChannel::Handlers{[&](const AskpassChannel::Request& request) {
                                     EXPECT_EQ(request.prompt, "Password:");
                                     retries.push_back(request.retry);
                                     const std::string answer =
                                         next < c.typed.size() ? c.typed[next++] : cancel;
                                     if (answer == cancel) {
                                         live.load()->refuse(request.number);
                                     } else if (answer != ignore) {
                                         live.load()->answer(request.number, SecretText(answer),
                                                             c.keep);
                                     }
                                 },
                                 [&](std::uint64_t number) { withdrawn.push_back(number); }},
        state_.path());
    live = channel.get();
    ProcessRunner::Settings settings;
    settings.environment = {{"SUDO_ASKPASS", channel->helperPath().string()}};
    InstallEngine engine(settings);
    InstallOptions opts = options();
    opts.timeoutSeconds = c.typed.back() == ignore ? 2 : 30;
    const auto results =
        engine.run(c.apps, opts, fake(brew), {recorder_.progress(), recorder_.log(), {}});
    const std::filesystem::path folder = channel->folder();
    channel.reset();
    ::unsetenv("CAIRNMOOR_FAKE_SUDO");
    EXPECT_EQ(statesOf(results), c.states);
    EXPECT_EQ(retries, c.retries);
    EXPECT_EQ(withdrawn.size(), c.typed.back() == ignore ? 1u : 0u);
    EXPECT_FALSE(std::filesystem::exists(folder));
    // Not in the log, nor in any command line or environment the children were given.
    const std::string everything = recorder_.joined() + testing::readFile(state_ / "sudo.log") +
                                   invocations() + testing::readFile(state_ / "environment.log");
    EXPECT_NE(everything.find("SUDO_ASKPASS=" + folder.string()), std::string::npos);
    for (const std::string& answer : c.typed) {
        EXPECT_EQ(everything.find(answer), std::string::npos) << answer;
    }
}

const PackageState installed = PackageState::installed();
const PackageState refused =
    PackageState::failed("brew exited with status 1 (the administrator password was not given)");
const PackageState wrong =
    PackageState::failed("brew exited with status 1 (the administrator password was wrong)");
// clang-format off
INSTANTIATE_TEST_SUITE_P(Answers, Askpass, ::testing::Values(
    AskCase{"Right", {alpha}, {password}, false, {false}, {installed}},
    AskCase{"WrongThenRight", {alpha}, {"hunter2", password}, false, {false, true}, {installed}},
    AskCase{"WrongThreeTimes", {alpha}, {"first try", "second try", "third try"}, false, {false, true, true}, {wrong}},
    AskCase{"Cancelled", {alpha, gamma}, {cancel, password}, false, {false, false}, {refused, installed}},
    // Kept for the run: asked once; a kept password that turns out wrong is asked for again.
    AskCase{"Kept", {alpha, gamma}, {password}, true, {false}, {installed, installed}},
    AskCase{"KeptButWrong", {alpha, gamma}, {"hunter2", password}, true, {false, true}, {installed, installed}},
    AskCase{"NeverAnswered", {alpha}, {ignore}, false, {false}, {PackageState::failed("Homebrew command timed out")}}),
    [](const auto& info) { return info.param.name; });
// clang-format on

// What a process sends and gets back on the channel's socket: true when the channel
// answered at all.
bool ask(const std::filesystem::path& socket, const std::string& request) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
        ::close(fd);
        return false;
    }
    char reply[64];
    const ssize_t got = ::read(fd, reply, sizeof reply);
    ::close(fd);
    return got > 0;
}

// Only our own user with the run's secret is heard; the folder and the secret are ours
// alone. As root, another account is refused even when it gets past the folder and knows
// the secret.
TEST(AskpassChannel, HearsOnlyItsOwnUserWithTheRunsSecret) {
    testing::TempDir dir;
    int requests = 0;
    // Published to the channel's thread through an atomic: the request that reads it comes
    // through a child and a socket, which the thread sanitizer cannot see order.
    std::atomic<AskpassChannel*> live{nullptr};
    auto channel = std::make_unique<AskpassChannel>(
        "/bin/false",
        AskpassChannel::Handlers{[&](const AskpassChannel::Request& request) {
                                     ++requests;
                                     live.load()->answer(request.number, SecretText("x"), false);
                                 },
                                 {}},
        dir.path());
    live = channel.get();
    struct stat folder {};
    struct stat secret {};
    ASSERT_EQ(::lstat(channel->folder().c_str(), &folder), 0);
    ASSERT_EQ(::lstat((channel->folder() / "secret").c_str(), &secret), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(secret.st_mode & 07777, 0600u);
    EXPECT_EQ(std::filesystem::read_symlink(channel->helperPath()), "/bin/false");
    const std::string key = testing::readFile(channel->folder() / "secret");
    const auto socket = channel->folder() / "socket";

    EXPECT_FALSE(ask(socket, std::string(key.size(), '0') + "\n1\nPassword:\n"));
    EXPECT_FALSE(ask(socket, key.substr(1) + "\n1\nPassword:\n"));
    EXPECT_FALSE(ask(socket, "\n\n\n"));
    EXPECT_EQ(requests, 0);
    EXPECT_TRUE(ask(socket, key + "\n1\nPassword:\n"));
    EXPECT_EQ(requests, 1);

    const passwd* other = ::getpwnam("nobody");
    if (::geteuid() != 0 || other == nullptr) {
        return;
    }
    // The way in is open to it: only the channel's own check may keep it out.
    ::chmod(dir.path().c_str(), 0711);
    ::chmod(channel->folder().c_str(), 0711);
    ::chmod(socket.c_str(), 0777);
    const uid_t uid = other->pw_uid;
    const gid_t gid = other->pw_gid;
    const std::string request = key + "\n1\nPassword:\n"; // no allocation after the fork
    const pid_t child = ::fork();
    if (child == 0) {
        // Refused, it may find the connection closed before its request is written.
        ::signal(SIGPIPE, SIG_IGN);
        const bool answered = ::setgid(gid) == 0 && ::setuid(uid) == 0 && ask(socket, request);
        ::_exit(answered ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(requests, 1);
}

} // namespace
} // namespace cairnmoor
