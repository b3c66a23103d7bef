#include "install/RunReport.hpp"

#include <nlohmann/json.hpp>

#include <array>
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

std::string_view actionName(PlannedAction action) {
    switch (action) {
    case PlannedAction::install:
        return "install";
    case PlannedAction::upgrade:
        return "upgrade";
    case PlannedAction::adopt:
        return "adopt";
    case PlannedAction::replace:
        return "replace";
    case PlannedAction::alreadyInstalled:
        return "alreadyInstalled";
    case PlannedAction::installedOutside:
        return "installedOutside";
    case PlannedAction::notInstallable:
        return "notInstallable";
    }
    return "install";
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

constexpr std::array<std::string_view, 8> stateNames{
    "installed",        "upgraded", "skipped",    "alreadyInstalled",
    "installedOutside", "failed",   "unfinished", "skippedRunning"};

} // namespace

std::string_view RunReport::stateName(const App& app) {
    // Final states are named one by one: pending, installing and any intermediate step
    // added later are unfinished to this report.
    switch (app.state.kind) {
    case PackageState::Kind::installed:
        return app.plannedAction == PlannedAction::upgrade ? "upgraded" : "installed";
    case PackageState::Kind::skipped:
        return "skipped";
    case PackageState::Kind::alreadyPresent:
        return "alreadyInstalled";
    case PackageState::Kind::installedOutside:
        return "installedOutside";
    case PackageState::Kind::failed:
        return "failed";
    case PackageState::Kind::skippedRunning:
        return "skippedRunning";
    default:
        return "unfinished";
    }
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

    Json totals = {{"selected", apps.size()}};
    for (const std::string_view name : stateNames) {
        totals[std::string(name)] = 0;
    }
    Json records = Json::array();
    for (const App& app : apps) {
        const std::string_view state = stateName(app);
        totals[std::string(state)] = totals[std::string(state)].get<int>() + 1;
        records.push_back(
            {{"id", app.id},
             {"name", app.name},
             {"package", textOrNull(app.package)},
             {"plannedAction",
              app.plannedAction ? Json(actionName(*app.plannedAction)) : Json(nullptr)},
             {"state", state},
             {"message", app.state.kind == PackageState::Kind::failed ||
                                 app.state.kind == PackageState::Kind::skippedRunning
                             ? Json(app.state.message)
                             : Json(nullptr)},
             {"durationMilliseconds", app.duration.count()}});
    }
    document["apps"] = std::move(records);
    document["totals"] = std::move(totals);
    document["exitStatus"] = exitStatus ? Json(*exitStatus) : Json(nullptr);
    // Text from files and children may hold bytes that are not UTF-8: shown as U+FFFD
    // rather than failing the whole report.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace cairnmoor
