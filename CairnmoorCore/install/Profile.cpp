#include "install/Profile.hpp"

#include "platform/DecodingError.hpp"
#include "platform/JsonReading.hpp"

#include <chrono>
#include <ctime>
#include <new>
#include <stdexcept>

namespace cairnmoor {

using JsonReading::Json;

std::string Profile::iso8601Now() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string Profile::toData() const {
    // nlohmann's object keeps its keys sorted, which gives the sorted-keys form.
    const Json document = {
        {"schema", schema},
        {"created", created},
        {"apps", apps},
        {"options",
         {{"packageManager", std::string(options.packageManager.rawValue())},
          {"skipInstalled", options.skipInstalled},
          {"upgradeIfPresent", options.upgradeIfPresent},
          {"runUpdateFirst", options.runUpdateFirst},
          {"writeLog", options.writeLog},
          {"timeoutSeconds", options.timeoutSeconds},
          {"existingApps", std::string(rawValue(options.existingApps))},
          {"prefetch", options.prefetch},
          {"runningApps", std::string(rawValue(options.runningApps))}}},
    };
    try {
        return document.dump(2) + "\n";
    } catch (const Json::type_error&) {
        // Only text that is not valid UTF-8 gets here. Replacing the bytes would save
        // identifiers that match nothing, so the profile is not written at all.
        throw std::invalid_argument(
            "The data couldn\u2019t be written because it isn\u2019t in the correct format.");
    }
}

namespace {

InstallOptions decodeOptions(const Json& value) {
    JsonReading::requireObject(value, "options");
    InstallOptions options;
    if (auto manager = JsonReading::optionalString(value, "packageManager")) {
        auto parsed = PackageManager::fromRawValue(*manager);
        if (!parsed) {
            throw DecodingError("Cannot initialize PackageManager from invalid String value " +
                                *manager + ".");
        }
        options.packageManager = *parsed;
    }
    options.skipInstalled = JsonReading::requireBool(value, "skipInstalled");
    options.upgradeIfPresent = JsonReading::requireBool(value, "upgradeIfPresent");
    options.runUpdateFirst = JsonReading::requireBool(value, "runUpdateFirst");
    options.writeLog = JsonReading::requireBool(value, "writeLog");
    options.timeoutSeconds = JsonReading::requireInt64(value, "timeoutSeconds");
    if (options.timeoutSeconds < 1) {
        throw DecodingError("Timeout must be positive.");
    }
    // Added later: a profile without them keeps the defaults; a wrong value is an error.
    if (auto existing = JsonReading::optionalString(value, "existingApps")) {
        auto parsed = existingAppsFromRawValue(*existing);
        if (!parsed) {
            throw DecodingError("Cannot initialize ExistingApps from invalid String value " +
                                *existing + ".");
        }
        options.existingApps = *parsed;
    }
    if (auto prefetch = JsonReading::optionalBool(value, "prefetch")) {
        options.prefetch = *prefetch;
    }
    if (auto running = JsonReading::optionalString(value, "runningApps")) {
        auto parsed = runningAppPolicyFromRawValue(*running);
        if (!parsed) {
            throw DecodingError("Cannot initialize RunningAppPolicy from invalid String value " +
                                *running + ".");
        }
        options.runningApps = *parsed;
    }
    return options;
}

} // namespace

Profile Profile::decode(std::string_view data) try {
    const Json document = JsonReading::parse(data);
    JsonReading::requireObject(document, "profile");
    Profile profile;
    profile.schema = JsonReading::requireInt64(document, "schema");
    profile.created = JsonReading::requireString(document, "created");
    const Json& apps = JsonReading::requireArray(JsonReading::requireKey(document, "apps"), "apps");
    profile.apps.reserve(apps.size());
    for (const Json& id : apps) {
        profile.apps.push_back(JsonReading::asString(id, "apps"));
    }
    profile.options = decodeOptions(JsonReading::requireKey(document, "options"));
    return profile;
} catch (const std::bad_alloc&) {
    throw DecodingError::outOfMemory();
}

void Profile::write(const std::filesystem::path& url, const FileManager& fileManager) const {
    fileManager.writeAtomically(url, toData());
}

Profile Profile::load(const std::filesystem::path& url, const FileManager& fileManager) {
    return decode(fileManager.contentsOfFile(url, JsonReading::maxDocumentSize));
}

} // namespace cairnmoor
