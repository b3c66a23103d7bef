#include "managers/TapTrust.hpp"

#include "managers/PackageManager.hpp"

#include <algorithm>

namespace cairnmoor::TapTrust {

namespace {

constexpr std::string_view opening = "Refusing to load ";
constexpr std::string_view middle = " from untrusted tap ";

// Only names Homebrew could have printed are repeated: "user/tap" has one slash.
bool isTapName(std::string_view name, std::size_t slashes) {
    return PackageManager(PackageManager::homebrew).isValidPackageName(name) &&
           static_cast<std::size_t>(std::count(name.begin(), name.end(), '/')) == slashes;
}

} // namespace

std::optional<Refusal> refusal(std::string_view line) {
    const std::size_t start = line.find(opening);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    line.remove_prefix(start + opening.size());
    const std::size_t space = line.find(' ');
    const std::size_t from = line.find(middle);
    if (space == std::string_view::npos || from == std::string_view::npos || from < space) {
        return std::nullopt;
    }
    Refusal found{std::string(line.substr(0, space)),
                  std::string(line.substr(space + 1, from - space - 1)),
                  std::string(line.substr(from + middle.size()))};
    while (!found.tap.empty() && (found.tap.back() == '.' || found.tap.back() == ' ')) {
        found.tap.pop_back();
    }
    if ((found.kind != "formula" && found.kind != "cask") || !isTapName(found.tap, 1) ||
        !isTapName(found.item, 2)) {
        return std::nullopt;
    }
    return found;
}

std::string failureMessage(const Refusal& refusal) {
    return "Homebrew refuses to load it from the untrusted tap " + refusal.tap +
           ". Trust it with `brew trust --" + refusal.kind + " " + refusal.item + "` (this " +
           refusal.kind + " only) or `brew trust " + refusal.tap +
           "` (the whole tap), or with `trusted: true` on the tap's line in a Brewfile, then "
           "install again.";
}

} // namespace cairnmoor::TapTrust
