#include "cli/InstallCommand.hpp"

#include "cli/Console.hpp"
#include "cli/ExitStatus.hpp"
#include "cli/InterruptWatcher.hpp"
#include "cli/TerminalText.hpp"
#include "install/InstallEngine.hpp"
#include "install/InstallLog.hpp"
#include "install/OutcomeCounts.hpp"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

namespace cairnmoor::InstallCommand {

using CLI::displayText;
using CLI::stateText;

std::int32_t run(const std::vector<AppEntry>& selected, InstallOptions options,
                 const RunSetup& setup, ReportWriter& report) {
    const bool silent = setup.silent;
    InstallEngine engine(setup.runnerSettings(), setup.fileManager());
    // The manager runs in its own process group, out of reach of the terminal's
    // interrupt: pass the interrupt on by cancelling, so it stops with us. Watched from
    // before the first report on, so none is ever left saying the run goes on.
    std::optional<InterruptWatcher> watcher;
    try {
        watcher.emplace([&engine](int) { engine.cancel(); });
    } catch (const std::system_error&) {
        // Out of descriptors: install anyway; an interrupt then simply ends the process.
    }
    std::optional<InstallLog::File> logFile;
    try {
        // Before anything changes: a report that cannot be written fails the run now.
        report.write();
    } catch (const std::exception& error) {
        Console::writeError("could not write report " + displayText(report.path().string()) + ": " +
                            displayText(error.what()) + "\n");
        return ExitStatus::failure;
    }
    if (setup.logPath) {
        try {
            logFile = InstallLog::File::create(*setup.logPath);
        } catch (const std::exception& error) {
            const std::string message =
                "could not create log " + setup.logPath->string() + ": " + error.what();
            Console::writeError(displayText(message) + "\n");
            report.notStarted(message, ExitStatus::failure);
            return ExitStatus::failure;
        }
        // Whoever reads the report later may not know where we ran.
        std::error_code ignored;
        std::filesystem::path full = std::filesystem::absolute(logFile->path(), ignored);
        report.change([&](RunReport& run) {
            run.logFile = (full.empty() ? logFile->path() : full).string();
        });
    }
    if (!silent) {
        Console::printLine("Installing " + std::to_string(selected.size()) + " app(s) from " +
                           displayText(setup.profilePath) + " using " +
                           displayText(setup.managerPath) + "...");
        if (logFile) {
            Console::printLine("Log file: " + displayText(logFile->path().string()));
        }
    }
    const auto onProgress = [silent, &report](const std::string& id, const PackageState& state) {
        if (!silent) {
            Console::printLine(displayText(id) + ": " + stateText(state));
        }
        report.progress(id, state);
    };
    const auto onLog = [silent, &logFile](const std::string& line) {
        if (!silent) {
            Console::printLine(displayText(line));
        }
        if (logFile) {
            // A line that cannot be written is lost from the file only, as in the window.
            (void)logFile->appendLine(line);
        }
    };

    const std::vector<PackageResult> results =
        engine.run(selected, options, setup.managerPath,
                   InstallEngine::Observers{onProgress, onLog,
                                            [&report](const auto& plan) { report.plan(plan); }});

    OutcomeCounts counts;
    std::string open;
    for (const PackageResult& result : results) {
        counts.add(result.state);
        if (result.state.kind == PackageState::Kind::failed) {
            Console::printLine("FAILED: " + displayText(result.app.name) + " - " +
                               displayText(result.state.message));
        } else if (result.state.kind == PackageState::Kind::skippedRunning) {
            open += (open.empty() ? "" : ", ") + result.state.message;
        }
    }
    const int failures = counts[PackageState::Kind::failed];
    const int leftOpen = counts[PackageState::Kind::skippedRunning];
    Console::printLine(
        "Summary: " + std::to_string(counts.total()) + " processed, " + std::to_string(failures) +
        " failed" + (leftOpen == 0 ? "" : ", " + std::to_string(leftOpen) + " skipped: running") +
        ".");
    if (leftOpen > 0) {
        Console::printLine("Left alone because they were open: " + displayText(open) +
                           ". Quit them and run again.");
    }
    std::int32_t status = failures > 0 ? ExitStatus::failure : 0;
    // Interrupted is never success, whatever the packages did before. The watcher stays
    // until the last report is on disk: a signal now must not cut that write short.
    const int signalNumber = watcher ? watcher->signalNumber() : 0;
    if (signalNumber != 0) {
        status = 128 + signalNumber;
    }
    const auto outcome =
        signalNumber != 0 ? RunReport::Outcome::interrupted : RunReport::Outcome::finished;
    // A fleet tool that asked for a report cannot tell success without it.
    const bool reported = report.finish(outcome, results, status, signalNumber);
    if (watcher) {
        // The run is over and on disk: what is left is the exit.
        watcher->stop(InterruptWatcher::After::ignored);
    }
    return !reported && status == 0 ? ExitStatus::failure : status;
}

} // namespace cairnmoor::InstallCommand
