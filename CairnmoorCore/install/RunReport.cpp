#include "install/RunReport.hpp"

#include "install/OutcomeCounts.hpp"

#include <nlohmann/json.hpp>

#include <csignal>
#include <ctime>

namespace cairnmoor {

namespace {

using Json = nlohmann::ordered_json;

Json timeText(std::optional<std::chrono::system_clock::time_point> time) {
    if (!time) {
        return nullptr;
    }
    const std::time_t seconds = std::chrono::system_clock::to_time_t(*time);
    std::tm utc{};
    char text[32] = {};
    if (::gmtime_r(&seconds, &utc) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0) {
        return nullptr;
    }
    return text;
}

Json textOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

std::string_view outcomeName(RunReport::Outcome outcome) {
    switch (outcome) {
    case RunReport::Outcome::running:
        return "running";
    case RunReport::Outcome::finished:
        return "finished";
    case RunReport::Outcome::interrupted:
        return "interrupted";
    case RunReport::Outcome::notStarted:
        return "notStarted";
    }
    return "running";
}

Json signalName(int signalNumber) {
    switch (signalNumber) {
    case 0:
        return nullptr;
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGQUIT:
        return "SIGQUIT";
    default:
        return "signal " + std::to_string(signalNumber);
    }
}

} // namespace

std::string_view RunReport::stateName(const App& app) {
    return app.state.kind == PackageState::Kind::installed &&
                   app.plannedAction == PlannedAction::upgrade
               ? "upgraded"
               : PackageState::names(app.state.kind).reportName;
}

std::string RunReport::json() const {
    Json document;
    document["formatVersion"] = formatVersion;
    document["cairnmoorVersion"] = version;
    document["outcome"] = outcomeName(outcome);
    document["startedAt"] = timeText(startedAt);
    document["endedAt"] = timeText(endedAt);
    document["host"] = host;
    document["profile"] = profile;
    document["manager"] = {{"name", manager ? Json(manager->rawValue()) : Json(nullptr)},
                           {"path", textOrNull(managerPath)},
                           {"runAs", textOrNull(runAs)}};
    if (options) {
        document["options"] = {{"skipInstalled", options->skipInstalled},
                               {"upgradeIfPresent", options->upgradeIfPresent},
                               {"runUpdateFirst", options->runUpdateFirst},
                               {"writeLog", options->writeLog},
                               {"timeoutSeconds", options->timeoutSeconds},
                               {"existingApps", rawValue(options->existingApps)},
                               {"prefetch", options->prefetch},
                               {"runningApps", rawValue(options->runningApps)}};
    } else {
        document["options"] = nullptr;
    }
    document["logFile"] = textOrNull(logFile);
    document["interruptedBy"] = signalName(signalNumber);
    document["error"] = textOrNull(error);

    OutcomeCounts counts;
    Json records = Json::array();
    for (const App& app : apps) {
        counts.add(app.state, app.plannedAction == PlannedAction::upgrade);
        const std::string_view state = stateName(app);
        records.push_back(
            {{"id", app.id},
             {"name", app.name},
             {"package", textOrNull(app.package)},
             {"plannedAction", app.plannedAction ? Json(InstallPlan::names(*app.plannedAction).name)
                                                 : Json(nullptr)},
             {"state", state},
             {"message", app.state.kind == PackageState::Kind::failed ||
                                 app.state.kind == PackageState::Kind::skippedRunning
                             ? Json(app.state.message)
                             : Json(nullptr)},
             {"durationMilliseconds", app.duration.count()}});
    }
    document["apps"] = std::move(records);
    using Kind = PackageState::Kind;
    const auto named = [](Kind kind) { return PackageState::names(kind).reportName; };
    document["totals"] = {{"selected", apps.size()},
                          {named(Kind::installed), counts[Kind::installed] - counts.upgraded()},
                          {"upgraded", counts.upgraded()},
                          {named(Kind::skipped), counts[Kind::skipped]},
                          {named(Kind::alreadyPresent), counts[Kind::alreadyPresent]},
                          {named(Kind::installedOutside), counts[Kind::installedOutside]},
                          {named(Kind::failed), counts[Kind::failed]},
                          {"unfinished", counts.unfinished()},
                          {named(Kind::skippedRunning), counts[Kind::skippedRunning]}};
    document["exitStatus"] = exitStatus ? Json(*exitStatus) : Json(nullptr);
    // Text from files and children may hold bytes that are not UTF-8: shown as U+FFFD
    // rather than failing the whole report.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace cairnmoor
