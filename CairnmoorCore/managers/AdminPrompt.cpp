#include "managers/AdminPrompt.hpp"

namespace cairnmoor::AdminPrompt {

bool isRefusal(std::string_view line) {
    // What sudo prints without a terminal, without an askpass helper, or under -n.
    static constexpr std::string_view refusals[] = {
        "a terminal is required to read the password",
        "no tty present and no askpass program specified",
        "a password is required",
    };
    const std::size_t at = line.find("sudo: ");
    if (at == std::string_view::npos) {
        return false;
    }
    line.remove_prefix(at);
    for (const std::string_view refusal : refusals) {
        if (line.find(refusal) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace cairnmoor::AdminPrompt
