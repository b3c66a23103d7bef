#include "views/WindowConfigurator.hpp"

namespace cairnmoor::WindowConfigurator {

void configure(QWindow&, bool) {}

} // namespace cairnmoor::WindowConfigurator
