// A reader that goes away (`Cairnmoor --profile p | head -1`) must not kill Cairnmoor
// half-way: the package manager runs in its own process group and would carry on alone.
// The run goes on to its end and reports its status.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

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
    sandbox.outputDescriptor = ends[1];
    const CliResult result = sandbox.run({"--profile", "team.cmprofile"});
    ::close(ends[1]);

    EXPECT_EQ(result.status, 0) << "a negative status is the signal that ended it";
    EXPECT_EQ(sandbox.invocations(),
              (std::vector<std::string>{"brew list --cask", "brew list --formula",
                                        "brew info --json=v2 --cask alpha",
                                        "brew install --cask alpha", "brew install beta"}));
}

} // namespace
} // namespace cairnmoor::testing
