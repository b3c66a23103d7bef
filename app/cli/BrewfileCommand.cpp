#include "cli/BrewfileCommand.hpp"

#include "cli/Console.hpp"
#include "cli/TerminalText.hpp"
#include "import/BrewfileReader.hpp"
#include "platform/FileManager.hpp"

namespace cairnmoor::BrewfileCommand {

namespace {

// Real Brewfiles are a few kilobytes; a huge file is refused rather than read whole.
constexpr std::uint64_t maxBrewfileSize = std::uint64_t{16} << 20;

} // namespace

Profile load(const std::string& path) {
    const Brewfile brewfile =
        BrewfileReader::read(FileManager::defaultManager().contentsOfFile(path, maxBrewfileSize));
    const std::string where = CLI::displayText(path);
    for (const Brewfile::Unusable& line : brewfile.unusable) {
        Console::writeError(where + ":" + std::to_string(line.line) + ": not used (" +
                            CLI::displayText(line.reason) + "): " + CLI::displayText(line.text) +
                            "\n");
    }
    for (const Brewfile::Tap& tap : brewfile.taps) {
        Console::writeError(
            where + ":" + std::to_string(tap.line) + ": the tap " + CLI::displayText(tap.name) +
            " is not added or trusted by Cairnmoor; its packages install by "
            "their full names (user/repo/name)" +
            (tap.trusted ? ", and need `brew trust " + CLI::displayText(tap.name) + "` first"
                         : std::string()) +
            "\n");
    }
    Profile profile;
    profile.created = Profile::iso8601Now();
    profile.packages = brewfile.packages;
    return profile;
}

void matchCatalogue(Profile& profile, const Catalog& catalog) {
    Profile matched = Profile::gathering(profile.packages, catalog);
    matched.created = profile.created;
    matched.options = profile.options;
    profile = std::move(matched);
}

} // namespace cairnmoor::BrewfileCommand
