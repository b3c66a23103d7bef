#include "managers/CaskInfo.hpp"

#include "platform/DecodingError.hpp"
#include "platform/JsonReading.hpp"

#include <filesystem>
#include <new>

namespace cairnmoor::CaskInfoReading {

using JsonReading::Json;

namespace {

// The name an `app` artifact has once installed: its target if it names one, else the
// bundle's own name; either way only the last path component. One that names no bundle
// ("", ".", "..", "/") is refused: looked for in a folder, it would find the folder itself.
std::string installedName(const Json& artifact) {
    const Json& items = JsonReading::requireArray(artifact, "app");
    if (items.empty()) {
        throw DecodingError("An app artifact names no bundle.");
    }
    std::string name = JsonReading::asString(items.front(), "app");
    for (const Json& item : items) {
        if (item.is_object()) {
            if (const auto target = JsonReading::optionalString(item, "target")) {
                name = *target;
            }
        }
    }
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    std::string installed = std::filesystem::path(name).filename().string();
    if (installed.empty() || installed == "." || installed == "..") {
        throw DecodingError("An app artifact names no bundle.");
    }
    return installed;
}

} // namespace

std::vector<std::string> arguments(const std::vector<std::string>& names) {
    std::vector<std::string> result{"info", "--json=v2", "--cask"};
    result.insert(result.end(), names.begin(), names.end());
    return result;
}

std::string_view shortName(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::map<std::string, CaskInfo> parse(std::string_view json,
                                      const std::vector<std::string>& names) try {
    const Json document = JsonReading::parse(json);
    JsonReading::requireObject(document, "info");
    const Json& casks =
        JsonReading::requireArray(JsonReading::requireKey(document, "casks"), "casks");
    std::map<std::string, CaskInfo> result;
    for (const Json& cask : casks) {
        JsonReading::requireObject(cask, "casks");
        CaskInfo info{JsonReading::requireString(cask, "token"), {}};
        std::vector<std::string> aliases{info.token};
        if (auto full = JsonReading::optionalString(cask, "full_token")) {
            aliases.push_back(std::move(*full));
        }
        if (const Json* old = JsonReading::optionalKey(cask, "old_tokens")) {
            for (const Json& token : JsonReading::requireArray(*old, "old_tokens")) {
                aliases.push_back(JsonReading::asString(token, "old_tokens"));
            }
        }
        if (const Json* artifacts = JsonReading::optionalKey(cask, "artifacts")) {
            for (const Json& artifact : JsonReading::requireArray(*artifacts, "artifacts")) {
                if (const Json* app = artifact.is_object()
                                          ? JsonReading::optionalKey(artifact, "app")
                                          : nullptr) {
                    info.apps.push_back(installedName(*app));
                }
            }
        }
        for (const std::string& name : names) {
            for (const std::string& alias : aliases) {
                if (alias == name || alias == shortName(name)) {
                    result.emplace(name, info);
                }
            }
        }
    }
    return result;
} catch (const std::bad_alloc&) {
    throw DecodingError::outOfMemory();
}

} // namespace cairnmoor::CaskInfoReading
