#include "cli/CLI.hpp"
#include "cli/GraphicalApplication.hpp"
#include "cli/ProcessSetup.hpp"
#include "managers/AskpassHelper.hpp"

#include <cstdio>
#include <string>
#include <vector>

// The command line decides first, before anything of the window exists, so that
// --help, --version and --profile work without a display and start quickly.
int main(int argc, char** argv) {
    // Before anything opens a descriptor or starts a child: whatever the launcher left
    // us (closed standard streams, ignored SIGCHLD) must not leak into our own workings.
    cairnmoor::ProcessSetup::normalise();
    // Started by sudo, through the password channel's link: answer it and nothing else.
    if (argc > 0 && cairnmoor::AskpassHelper::isInvokedAs(argv[0])) {
        return cairnmoor::AskpassHelper::main(argv[0], argc, argv);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    if (const auto status = cairnmoor::CLI::run(arguments)) {
        std::fflush(stdout);
        return *status;
    }
    return cairnmoor::startGraphicalApplication(argc, argv);
}
