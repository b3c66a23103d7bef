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

std::string_view unansweredNote(std::string_view line) {
    if (!line.starts_with("sudo: ")) {
        return {};
    }
    if (line.find("no password was provided") != std::string_view::npos) {
        return " (the administrator password was not given)";
    }
    if (line.find("incorrect password attempt") != std::string_view::npos) {
        return " (the administrator password was wrong)";
    }
    return {};
}

} // namespace cairnmoor::AdminPrompt
