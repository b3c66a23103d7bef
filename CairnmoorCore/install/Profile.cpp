#include "install/Profile.hpp"

#include "platform/DecodingError.hpp"
#include "platform/JsonReading.hpp"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <new>
#include <set>
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
    Json document = {
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
    if (!packages.empty()) {
        Json list = Json::array();
        for (const ProfilePackage& package : packages) {
            list.push_back({{"name", package.name},
                            {"type", std::string(ProfilePackage::rawValue(package.kind))}});
        }
        document["packages"] = std::move(list);
    }
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

// A name that would pass no rule cannot be installed, and in an exported Brewfile or script
// it could break out of its quotes: the whole profile is refused, naming the entry.
std::vector<ProfilePackage> decodePackages(const Json& list) {
    JsonReading::requireArray(list, "packages");
    std::vector<ProfilePackage> packages;
    packages.reserve(list.size());
    for (std::size_t index = 0; index < list.size(); ++index) {
        const std::string where = "packages[" + std::to_string(index) + "]";
        const Json& item = list[index];
        JsonReading::requireObject(item, "packages");
        ProfilePackage package;
        package.name = JsonReading::requireString(item, "name");
        const std::string type = JsonReading::requireString(item, "type");
        const auto kind = ProfilePackage::kindFromRawValue(type);
        if (!kind) {
            throw DecodingError::naming(where + " has the type " + Json(type).dump() +
                                        "; it must be \"formula\", \"cask\" or \"port\".");
        }
        package.kind = *kind;
        if (!package.hasValidName()) {
            throw DecodingError::naming(
                where + " has the name " + Json(package.name).dump() + ", which is not a valid " +
                std::string(package.manager().displayName()) + " package name.");
        }
        packages.push_back(std::move(package));
    }
    return packages;
}

} // namespace

std::vector<AppEntry> Profile::packageEntries() const {
    std::vector<AppEntry> entries;
    entries.reserve(packages.size());
    for (const ProfilePackage& package : packages) {
        // A package named twice is installed once, as an id named twice is.
        AppEntry entry = package.entry();
        if (std::none_of(entries.begin(), entries.end(),
                         [&](const AppEntry& seen) { return seen.id == entry.id; })) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

namespace {

// Homebrew's own taps name the same package with or without their prefix.
std::string_view withoutOfficialTap(std::string_view name) {
    for (const std::string_view tap : {"homebrew/core/", "homebrew/cask/"}) {
        if (name.starts_with(tap)) {
            return name.substr(tap.size());
        }
    }
    return name;
}

// What a package is matched by: its manager's kind and its name without an official tap.
std::string matchKey(ProfilePackage::Kind kind, std::string_view name) {
    return std::string(ProfilePackage::rawValue(kind)) + ":" +
           std::string(withoutOfficialTap(name));
}

// Every package the catalogue installs, to the first entry that does.
std::map<std::string, const AppEntry*> catalogueIndex(const Catalog& catalog) {
    std::map<std::string, const AppEntry*> index;
    for (const AppEntry& entry : catalog.apps) {
        if (const auto brew = PackageManager(PackageManager::homebrew).token(entry)) {
            const auto kind =
                entry.macos->isCask() ? ProfilePackage::Kind::cask : ProfilePackage::Kind::formula;
            index.emplace(matchKey(kind, *brew), &entry);
        }
        if (const auto port = PackageManager(PackageManager::macports).token(entry)) {
            index.emplace(matchKey(ProfilePackage::Kind::port, *port), &entry);
        }
    }
    return index;
}

} // namespace

const AppEntry* Profile::catalogueEntry(const ProfilePackage& package, const Catalog& catalog) {
    const auto index = catalogueIndex(catalog);
    const auto found = index.find(matchKey(package.kind, package.name));
    return found == index.end() ? nullptr : found->second;
}

Profile Profile::gathering(const std::vector<ProfilePackage>& packages, const Catalog& catalog) {
    const auto index = catalogueIndex(catalog);
    Profile profile;
    profile.created = iso8601Now();
    std::set<std::string> seen;
    for (const ProfilePackage& package : packages) {
        if (package.kind == ProfilePackage::Kind::port) {
            profile.options.packageManager = PackageManager::macports;
        }
        const std::string key = matchKey(package.kind, package.name);
        if (const auto found = index.find(key); found != index.end()) {
            if (seen.insert(found->second->id).second) {
                profile.apps.push_back(found->second->id);
            }
        } else if (seen.insert(key).second) {
            profile.packages.push_back(package);
        }
    }
    return profile;
}

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
    if (const Json* packages = JsonReading::optionalKey(document, "packages")) {
        profile.packages = decodePackages(*packages);
    }
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
