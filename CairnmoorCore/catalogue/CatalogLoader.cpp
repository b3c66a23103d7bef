#include "catalogue/CatalogLoader.hpp"

#include "catalogue/CatalogError.hpp"
#include "platform/DecodingError.hpp"
#include "platform/FileError.hpp"
#include "platform/JsonReading.hpp"

#include <algorithm>
#include <functional>
#include <new>
#include <set>

namespace cairnmoor::CatalogLoader {

namespace fs = std::filesystem;
using JsonReading::Json;

namespace {

MacOSInfo decodeMacOS(const Json& value) {
    JsonReading::requireObject(value, "macos");
    return MacOSInfo{
        .brew = JsonReading::requireString(value, "brew"),
        .type = JsonReading::requireString(value, "type"),
        .macports = JsonReading::optionalString(value, "macports"),
    };
}

AppEntry decodeEntry(const Json& value) {
    JsonReading::requireObject(value, "apps");
    AppEntry entry{
        .id = JsonReading::requireString(value, "id"),
        .name = JsonReading::requireString(value, "name"),
        .category = JsonReading::requireString(value, "category"),
        .licence = JsonReading::requireString(value, "licence"),
        .homepage = JsonReading::requireString(value, "homepage"),
        .summary = JsonReading::requireString(value, "summary"),
        .macos = std::nullopt,
        .recommended = JsonReading::optionalBool(value, "recommended"),
    };
    if (const Json* macos = JsonReading::optionalKey(value, "macos")) {
        entry.macos = decodeMacOS(*macos);
    }
    return entry;
}

Catalog decodeCatalog(std::string_view data) try {
    const Json document = JsonReading::parse(data);
    JsonReading::requireObject(document, "catalogue");
    Catalog catalog;
    catalog.schema = JsonReading::requireInt64(document, "schema");
    catalog.updated = JsonReading::requireString(document, "updated");
    const Json& licences =
        JsonReading::requireObject(JsonReading::requireKey(document, "licences"), "licences");
    for (const auto& [key, value] : licences.items()) {
        catalog.licences.emplace(key, JsonReading::asString(value, "licences"));
    }
    const Json& categories =
        JsonReading::requireArray(JsonReading::requireKey(document, "categories"), "categories");
    catalog.categories.reserve(categories.size());
    for (const Json& name : categories) {
        catalog.categories.push_back(JsonReading::asString(name, "categories"));
    }
    const Json& apps = JsonReading::requireArray(JsonReading::requireKey(document, "apps"), "apps");
    catalog.apps.reserve(apps.size());
    for (const Json& entry : apps) {
        catalog.apps.push_back(decodeEntry(entry));
    }
    return catalog;
} catch (const std::bad_alloc&) {
    throw DecodingError::outOfMemory();
}

// The shipped resource bundle beside the code, looked up once for the life of the process.
const std::optional<Bundle>& coreResourceBundle() {
    static const std::optional<Bundle> bundle = []() -> std::optional<Bundle> {
        const Bundle& main = Bundle::main();
        const Bundle& code = Bundle::containingCoreLibrary();
        const std::optional<fs::path> places[] = {main.resourceDirectory(),
                                                  code.resourceDirectory(), main.bundlePath()};
        for (const auto& place : places) {
            if (!place) {
                continue;
            }
            if (auto found = Bundle::atPath(*place / resourceBundleName)) {
                return found;
            }
        }
        return std::nullopt;
    }();
    return bundle;
}

std::optional<fs::path> embeddedCataloguePath(const Bundle* bundle) {
    const Bundle& main = Bundle::main();
    std::optional<Bundle> candidates[4];
    if (bundle != nullptr) {
        candidates[0] = *bundle;
    }
    candidates[1] = coreResourceBundle();
    if (main.resourceDirectory()) {
        candidates[2] = Bundle::atPath(*main.resourceDirectory() / resourceBundleName);
    }
    candidates[3] = Bundle::atPath(main.bundlePath() / resourceBundleName);
    for (const auto& candidate : candidates) {
        if (!candidate) {
            continue;
        }
        if (auto path = candidate->resourcePath("catalog", "json")) {
            return path;
        }
    }
    return std::nullopt;
}

} // namespace

Catalog decode(std::string_view data) {
    try {
        return decodeCatalog(data);
    } catch (const DecodingError& error) {
        throw CatalogError::decodeFailed(error);
    }
}

fs::path externalOverrideURL(const FileManager& fileManager) {
    const auto supportDirectories = fileManager.applicationSupportDirectories();
    const fs::path base = supportDirectories.empty()
                              ? fileManager.homeDirectory() / "Library" / "Application Support"
                              : supportDirectories.front();
    return base / "Cairnmoor" / "catalog.json";
}

namespace {

// A file of the user's, read through `parse`. One that cannot be used gives none, and the
// user hears why (in the words `rejection` makes of the reason): telling is a courtesy
// and never stops the catalogue from loading.
template <class Result>
std::optional<Result>
readUsersFile(const FileManager& fileManager, const fs::path& path,
              const std::function<Result(const std::string&)>& parse,
              const RejectionHandler& onRejected,
              const std::function<std::string(const std::string&)>& rejection) {
    if (!fileManager.fileExists(path)) {
        return std::nullopt;
    }
    std::string reason;
    try {
        return parse(fileManager.contentsOfFile(path, JsonReading::maxDocumentSize));
    } catch (const DecodingError& error) {
        // The detail names the key at fault, which is what the user needs to mend it.
        reason = error.debugDescription();
    } catch (const std::exception& error) {
        reason = error.what();
    }
    while (!reason.empty() && reason.back() == '.') {
        reason.pop_back();
    }
    if (onRejected) {
        try {
            onRejected(rejection(reason));
        } catch (...) {
            // Only a courtesy: see above.
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<Catalog> loadExternalOverride(const FileManager& fileManager,
                                            const RejectionHandler& onRejected) {
    const fs::path path = externalOverrideURL(fileManager);
    // The shipped catalogue still serves; the user hears why theirs did not.
    return readUsersFile<Catalog>(
        fileManager, path, [](const std::string& text) { return decodeCatalog(text); }, onRejected,
        [&path](const std::string& reason) {
            return "The catalogue " + path.string() + " was not used (" + reason +
                   "); the shipped catalogue is used instead.";
        });
}

std::string loadEmbeddedData(const Bundle* bundle) {
    const auto path = embeddedCataloguePath(bundle);
    if (!path) {
        throw CatalogError::embeddedResourceMissing();
    }
    return FileManager::defaultManager().contentsOfFile(*path, JsonReading::maxDocumentSize);
}

Catalog loadEmbedded(const Bundle* bundle) {
    return decode(loadEmbeddedData(bundle));
}

Catalog load(const FileManager& fileManager, const Bundle* bundle,
             const RejectionHandler& onRejected) {
    if (auto replacement = loadExternalOverride(fileManager, onRejected)) {
        return withAdditions(std::move(*replacement), fileManager, onRejected);
    }
    return withAdditions(loadEmbedded(bundle), fileManager, onRejected);
}

fs::path additionsURL(const FileManager& fileManager) {
    return externalOverrideURL(fileManager).replace_filename("catalog.local.json");
}

Catalog addedTo(Catalog base, std::string_view additions) try {
    const Json document = JsonReading::parse(additions);
    JsonReading::requireObject(document, "additions");
    std::set<std::string> ids;
    for (const AppEntry& entry : base.apps) {
        ids.insert(entry.id);
    }
    const Json& apps = JsonReading::requireArray(JsonReading::requireKey(document, "apps"), "apps");
    for (const Json& item : apps) {
        AppEntry entry = decodeEntry(item);
        if (!ids.insert(entry.id).second) {
            throw DecodingError::naming("the id " + Json(entry.id).dump() +
                                        " is already in the catalogue");
        }
        if (std::find(base.categories.begin(), base.categories.end(), entry.category) ==
            base.categories.end()) {
            base.categories.push_back(entry.category);
        }
        base.apps.push_back(std::move(entry));
    }
    if (const Json* licences = JsonReading::optionalKey(document, "licences")) {
        for (const auto& [key, value] : JsonReading::requireObject(*licences, "licences").items()) {
            base.licences.emplace(key, JsonReading::asString(value, "licences"));
        }
    }
    return base;
} catch (const std::bad_alloc&) {
    throw DecodingError::outOfMemory();
}

Catalog withAdditions(Catalog catalog, const FileManager& fileManager,
                      const RejectionHandler& onRejected) {
    const fs::path path = additionsURL(fileManager);
    auto added = readUsersFile<Catalog>(
        fileManager, path, [&catalog](const std::string& text) { return addedTo(catalog, text); },
        onRejected,
        [&path](const std::string& reason) {
            return "The catalogue additions " + path.string() + " were not used (" + reason +
                   "); none of their apps can be chosen until the file is mended.";
        });
    return added ? std::move(*added) : std::move(catalog);
}

std::string encode(const Catalog& catalog) {
    Json apps = Json::array();
    for (const AppEntry& entry : catalog.apps) {
        Json item = {
            {"id", entry.id},           {"name", entry.name},         {"category", entry.category},
            {"licence", entry.licence}, {"homepage", entry.homepage}, {"summary", entry.summary}};
        if (entry.macos) {
            Json macos = {{"brew", entry.macos->brew}, {"type", entry.macos->type}};
            if (entry.macos->macports) {
                macos["macports"] = *entry.macos->macports;
            }
            item["macos"] = std::move(macos);
        }
        if (entry.recommended) {
            item["recommended"] = *entry.recommended;
        }
        apps.push_back(std::move(item));
    }
    const Json document = {{"schema", catalog.schema},
                           {"updated", catalog.updated},
                           {"licences", catalog.licences},
                           {"categories", catalog.categories},
                           {"apps", std::move(apps)}};
    return document.dump(2);
}

} // namespace cairnmoor::CatalogLoader
