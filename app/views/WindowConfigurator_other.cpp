#include "views/WindowConfigurator.hpp"

namespace cairnmoor::WindowConfigurator {

bool hidesTitleBar() {
    return false;
}

void configure(QWindow&, bool) {}

} // namespace cairnmoor::WindowConfigurator
