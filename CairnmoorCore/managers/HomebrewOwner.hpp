#pragma once

#include "platform/Account.hpp"

#include <optional>
#include <string>

// Who runs Homebrew when root runs Cairnmoor. Homebrew refuses to run as root, so a root
// run gives its commands to the account that owns the brew executable (links followed):
// whoever installed Homebrew.
namespace cairnmoor::HomebrewOwner {

// That account; none, with `problem` set to one sentence, when there is no such account
// to use (root's own, or a user id without an account).
std::optional<Account> find(const std::string& brewPath, std::string& problem);

// Why root must not run this brew as `owner`, or none: a Homebrew that another account
// could swap would run that account's code as the owner, so neither the executable nor
// any folder on its way may be writable by anyone but root and the owner.
std::optional<std::string> untrusted(const std::string& brewPath, const Account& owner);

} // namespace cairnmoor::HomebrewOwner
