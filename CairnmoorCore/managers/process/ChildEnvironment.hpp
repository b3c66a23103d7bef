#pragma once

#include "managers/ProcessRunner.hpp"

#include <string>
#include <vector>

namespace cairnmoor::process {

// The child's environment. Ours with the settings' variables put in (replacing any of
// the same name); for a child that runs as another account, one built from nothing.
class ChildEnvironment {
public:
    ChildEnvironment(const ProcessRunner::Settings& settings, const std::string& executable);

    char* const* get() { return pointers_.data(); }

private:
    std::vector<std::string> owned_;
    std::vector<char*> pointers_;
};

} // namespace cairnmoor::process
