#include "cli/CLI.hpp"

#include "buildinfo/BuildInfo.hpp"
#include "cli/Arguments.hpp"
#include "cli/CaptureCommand.hpp"
#include "cli/Console.hpp"
#include "cli/ExitStatus.hpp"
#include "cli/ProfileCommand.hpp"

namespace cairnmoor::CLI {

std::optional<std::int32_t> run(const std::vector<std::string>& arguments) {
    std::string usageError;
    const Arguments parsed = Arguments::parse(arguments, usageError);
    switch (parsed.command) {
    case Arguments::Command::help:
        Console::printLine(helpText());
        return 0;
    case Arguments::Command::version:
        Console::printLine(BuildInfo::version());
        return 0;
    default:
        break;
    }
    if (!usageError.empty()) {
        Console::writeError(usageError + "\n");
        return ExitStatus::usage;
    }
    if (parsed.command == Arguments::Command::window) {
        return std::nullopt;
    }
    if (parsed.command == Arguments::Command::capture) {
        return CaptureCommand::run(parsed);
    }
    return ProfileCommand::run(parsed);
}

} // namespace cairnmoor::CLI
