#include "cli/ReportWriter.hpp"

#include "cli/Console.hpp"
#include "cli/TerminalText.hpp"

#include <chrono>
#include <exception>

namespace cairnmoor {

ReportWriter::ReportWriter(std::optional<std::filesystem::path> path, RunReport report,
                           const Clock& clock)
    : path_(std::move(path)), report_(std::move(report)), clock_(clock) {}

void ReportWriter::change(const std::function<void(RunReport&)>& edit) {
    std::lock_guard guard(lock_);
    edit(report_);
}

void ReportWriter::write() {
    std::lock_guard guard(lock_);
    writeNow();
}

void ReportWriter::writeNow() {
    if (!path_) {
        return;
    }
    if (!folder_) {
        folder_.emplace(*path_);
    }
    folder_->replace(path_->filename().string(), report_.json());
}

bool ReportWriter::writeLocked(bool quietAfterFailure) {
    try {
        writeNow();
        return true;
    } catch (const std::exception& error) {
        if (!quietAfterFailure || !failureSaid_) {
            Console::writeError("could not write report " + CLI::displayText(path_->string()) +
                                ": " + CLI::displayText(error.what()) + "\n");
        }
        failureSaid_ = true;
        return false;
    }
}

RunReport::App* ReportWriter::find(const std::string& id) {
    for (RunReport::App& app : report_.apps) {
        if (app.id == id) {
            return &app;
        }
    }
    return nullptr;
}

void ReportWriter::plan(const std::vector<PlannedEntry>& plan) {
    std::lock_guard guard(lock_);
    for (const PlannedEntry& entry : plan) {
        if (RunReport::App* app = find(entry.app.id)) {
            app->plannedAction = entry.action;
            app->package = entry.package;
        }
    }
    writeLocked(true);
}

void ReportWriter::progress(const std::string& id, const PackageState& state) {
    std::lock_guard guard(lock_);
    RunReport::App* app = find(id);
    if (app == nullptr) {
        return;
    }
    const Clock::TimePoint now = clock_.now();
    app->state = state;
    if (!state.isFinal()) {
        begun_.try_emplace(id, now);
        return;
    }
    if (const auto begun = begun_.find(id); begun != begun_.end()) {
        app->duration = std::chrono::duration_cast<std::chrono::milliseconds>(now - begun->second);
    }
    writeLocked(true);
}

bool ReportWriter::finish(RunReport::Outcome outcome, const std::vector<PackageResult>& results,
                          int status, int signalNumber) {
    std::lock_guard guard(lock_);
    for (const PackageResult& result : results) {
        if (RunReport::App* app = find(result.app.id)) {
            app->state = result.state;
        }
    }
    report_.outcome = outcome;
    report_.signalNumber = signalNumber;
    report_.exitStatus = status;
    report_.endedAt = std::chrono::system_clock::now();
    return writeLocked(false);
}

void ReportWriter::notStarted(const std::string& error, int status) {
    std::lock_guard guard(lock_);
    report_.outcome = RunReport::Outcome::notStarted;
    report_.error = error;
    report_.exitStatus = status;
    report_.endedAt = std::chrono::system_clock::now();
    writeLocked(false);
}

} // namespace cairnmoor
