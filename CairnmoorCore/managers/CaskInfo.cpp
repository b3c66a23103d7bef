#include "managers/CaskInfo.hpp"

#include "platform/DecodingError.hpp"
#include "platform/JsonReading.hpp"

#include <new>
#include <optional>

namespace cairnmoor::CaskInfoReading {

using JsonReading::Json;

namespace {

// One name in a path: not empty, not "." or "..", no slash.
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// "Foo.app", "Sub/Foo.app": plain names, the last one a bundle's. Homebrew reads a leading
// "~" as a home folder, so that is no name in an Applications folder.
bool isBundlePath(std::string_view path) {
    std::size_t start = 0;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string_view::npos;
         start = slash + 1) {
        if (!isPlainName(path.substr(start, slash - start))) {
            return false;
        }
    }
    const std::string_view last = path.substr(start);
    return !path.starts_with('~') && isPlainName(last) && last.size() > 4 && last.ends_with(".app");
}

// Where an `app` artifact puts its bundle, relative to an Applications folder, as Homebrew
// places it: under its target if it names one (relative to the Applications folder, or in
// "~/Applications", "/Applications" or the configured one, "$APPDIR", when it starts there),
// else under the last part of the bundle's own path. None when that is not a bundle in an
// Applications folder (".." would make the folder's parent an app on the Mac) or the artifact is
// not of this shape.
std::optional<std::string> installedPath(const Json& artifact) {
    if (!artifact.is_array() || artifact.empty() || !artifact.front().is_string()) {
        return std::nullopt;
    }
    std::string_view source = artifact.front().get_ref<const std::string&>();
    std::string_view path = source.substr(source.rfind('/') + 1);
    if (source.ends_with('/') || !isBundlePath(path)) {
        return std::nullopt;
    }
    for (const Json& item : artifact) {
        if (!item.is_object() || !item.contains("target")) {
            continue;
        }
        const Json& target = item.at("target");
        if (!target.is_string()) {
            return std::nullopt;
        }
        path = target.get_ref<const std::string&>();
        for (const std::string_view folder : {"~/Applications/", "/Applications/", "$APPDIR/"}) {
            if (path.starts_with(folder)) {
                path.remove_prefix(folder.size());
                break;
            }
        }
        if (!isBundlePath(path)) {
            return std::nullopt;
        }
    }
    return std::string(path);
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
                    if (auto path = installedPath(*app)) {
                        info.apps.push_back(std::move(*path));
                    }
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
