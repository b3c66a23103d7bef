#include "cli/CLI.hpp"

#include "buildinfo/BuildInfo.hpp"

#include <algorithm>
#include <cstdio>

namespace cairnmoor::CLI {

const std::string& helpText() {
    static const std::string text = "Cairnmoor " + BuildInfo::version();
    return text;
}

std::optional<std::int32_t> run(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--version") != arguments.end()) {
        std::printf("%s\n", BuildInfo::version().c_str());
        return 0;
    }
    return std::nullopt;
}

} // namespace cairnmoor::CLI
