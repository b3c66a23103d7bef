#include "managers/HomebrewOwner.hpp"

#include "platform/FileManager.hpp"
#include "platform/PathTrust.hpp"

#include <exception>

namespace cairnmoor::HomebrewOwner {

std::optional<Account> find(const std::string& brewPath, std::string& problem) {
    std::optional<Account> account;
    try {
        account = Account::owning(brewPath, FileManager::defaultManager());
    } catch (const std::exception& error) {
        problem = "cannot tell who owns Homebrew: " + std::string(error.what());
        return std::nullopt;
    }
    if (!account) {
        problem = "Homebrew at " + brewPath +
                  " belongs to a user id without an account here to run it as.";
    } else if (account->uid == 0) {
        problem = "Homebrew at " + brewPath +
                  " belongs to root and Homebrew does not run as root; install it as an "
                  "ordinary user, or run Cairnmoor as its owner.";
        account.reset();
    }
    return account;
}

std::optional<std::string> untrusted(const std::string& brewPath, const Account& owner) {
    if (const auto why = PathTrust::problem(brewPath, PathTrust::Trusted{{owner.uid}}, true)) {
        return "will not run Homebrew at " + brewPath + " as " + owner.name + ": " + *why +
               ", so another user could replace it.";
    }
    return std::nullopt;
}

} // namespace cairnmoor::HomebrewOwner
