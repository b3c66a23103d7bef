// A reader that goes away (`Cairnmoor --profile p | head -1`) must not kill Cairnmoor
// half-way: the package manager runs in its own process group and would carry on alone.
// The run goes on to its end and reports its status.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cairnmoor::testing {
namespace {

TEST(ClosedOutput, RunCompletesWhenNobodyReadsItsOutput) {
    if (CliSandbox::realHomebrewInTheWay()) {
        GTEST_SKIP() << "a real Homebrew would be found before the fake";
    }
    CliSandbox sandbox;
    sandbox.writeCatalogue();
    sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});

    // The pipe's reading end is closed before Cairnmoor starts, so its very first
    // line already meets a reader that is gone.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, ends[1]);
    const std::string workingFolder = sandbox.work().string();
    const std::string executable = sandbox.executable.string();
    std::vector<std::string> environment;
    for (const auto& [name, value] : sandbox.environment) {
        environment.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    const std::string script = "cd \"$1\" && exec \"$2\" --profile team.cmprofile";
    const char* argv[] = {"/bin/sh",          "-c",   script.c_str(), "sh", workingFolder.c_str(),
                          executable.c_str(), nullptr};
    pid_t child = -1;
    ASSERT_EQ(
        ::posix_spawn(&child, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), envp.data()),
        0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(sandbox.invocations(),
              (std::vector<std::string>{"brew list --cask", "brew list --formula",
                                        "brew info --json=v2 --cask alpha",
                                        "brew install --cask alpha", "brew install beta"}));
}

} // namespace
} // namespace cairnmoor::testing
