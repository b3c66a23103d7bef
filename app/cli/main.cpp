#include "cli/CLI.hpp"
#include "cli/GraphicalApplication.hpp"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

// The command line decides first, before anything of the window exists, so that
// --help, --version and --profile work without a display and start quickly.
int main(int argc, char** argv) {
    // A reader that goes away (`Cairnmoor --profile p | head`) must not kill us while a
    // package manager runs on in its own process group; a failed write is simply lost.
    // Children get the default disposition back from the process runner.
    std::signal(SIGPIPE, SIG_IGN);
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
