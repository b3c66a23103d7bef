#include "buildinfo/BuildInfo.hpp"
#include "cli/GraphicalApplication.hpp"

#include <cstdio>
#include <string_view>

// Until the command line lands: the version, or the window.
int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--version") {
        std::printf("%s\n", cairnmoor::BuildInfo::version().c_str());
        return 0;
    }
    return cairnmoor::startGraphicalApplication(argc, argv);
}
