#include "cli/GraphicalApplication.hpp"

#include <cstdio>

namespace cairnmoor {

int startGraphicalApplication(int, char**) {
    std::fputs("Cairnmoor: this build has no window (configured with CAIRNMOOR_GUI=OFF); "
               "Cairnmoor --help lists the command line.\n",
               stderr);
    return 1;
}

} // namespace cairnmoor
