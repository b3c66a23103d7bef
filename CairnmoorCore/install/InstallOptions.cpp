#include "install/InstallOptions.hpp"

namespace cairnmoor {

std::string_view rawValue(ExistingApps value) {
    switch (value) {
    case ExistingApps::adopt:
        return "adopt";
    case ExistingApps::replace:
        return "replace";
    case ExistingApps::skip:
        break;
    }
    return "skip";
}

std::optional<ExistingApps> existingAppsFromRawValue(std::string_view rawValue) {
    for (const ExistingApps value :
         {ExistingApps::skip, ExistingApps::adopt, ExistingApps::replace}) {
        if (cairnmoor::rawValue(value) == rawValue) {
            return value;
        }
    }
    return std::nullopt;
}

std::string_view rawValue(RunningAppPolicy value) {
    return value == RunningAppPolicy::quit ? "quit" : "skip";
}

std::optional<RunningAppPolicy> runningAppPolicyFromRawValue(std::string_view rawValue) {
    for (const RunningAppPolicy value : {RunningAppPolicy::skip, RunningAppPolicy::quit}) {
        if (cairnmoor::rawValue(value) == rawValue) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace cairnmoor
