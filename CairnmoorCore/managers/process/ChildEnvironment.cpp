#include "managers/process/ChildEnvironment.hpp"

#include <algorithm>
#include <string_view>

extern char** environ;

namespace cairnmoor::process {
namespace {

// What a child that runs as another account may take from our environment: the
// locale, and Homebrew's own settings as the administrator made them.
bool passesToAnotherAccount(std::string_view name) {
    return name == "LANG" || name.starts_with("LC_") || name.starts_with("HOMEBREW_");
}

// The folders a child running as another account may search: the executable's own and
// the system's, nothing a user could have put before them.
std::string fixedSearchPath(const std::string& executable) {
    const std::string::size_type slash = executable.rfind('/');
    std::string folder =
        slash == std::string::npos || slash == 0 ? std::string() : executable.substr(0, slash);
    const std::string system = "/usr/bin:/bin:/usr/sbin:/sbin";
    return folder.empty() ? system : folder + ":" + system;
}

} // namespace

ChildEnvironment::ChildEnvironment(const ProcessRunner::Settings& settings,
                                   const std::string& executable) {
    std::vector<std::pair<std::string, std::string>> additions;
    if (const std::optional<Account>& account = settings.account) {
        additions = {{"HOME", account->home.string()},
                     {"USER", account->name},
                     {"LOGNAME", account->name},
                     {"SHELL", account->shell.empty() ? "/bin/sh" : account->shell},
                     {"PATH", fixedSearchPath(executable)}};
    }
    for (const auto& variable : settings.environment) {
        std::erase_if(additions, [&](const auto& added) { return added.first == variable.first; });
        additions.push_back(variable);
    }
    for (const auto& [name, value] : additions) {
        owned_.push_back(name + "=" + value);
    }
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(additions.begin(), additions.end(),
                                          [&](const auto& added) { return added.first == name; });
        if (!replaced && (!settings.account || passesToAnotherAccount(name))) {
            pointers_.push_back(*entry);
        }
    }
    for (std::string& entry : owned_) {
        pointers_.push_back(entry.data());
    }
    pointers_.push_back(nullptr);
}

} // namespace cairnmoor::process
