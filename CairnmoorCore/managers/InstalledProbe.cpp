#include "managers/InstalledProbe.hpp"

#include "managers/BrewCommandBuilder.hpp"
#include "managers/PackageManagerError.hpp"

#include <mutex>
#include <optional>
#include <string_view>

namespace cairnmoor::InstalledProbe {
namespace {

// Collects the command's lines; the runner may call from another thread.
struct Box {
    std::mutex lock;
    std::vector<std::string> lines;
};

// White space and line ends as Unicode defines them (the Zs category, tab to carriage
// return, U+0085, U+2028, U+2029), so a non-breaking space around a name is trimmed too.
bool isWhiteSpaceOrNewline(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// The code point starting at `at` and its length in bytes; none for a malformed one.
std::optional<std::pair<char32_t, std::size_t>> decodeAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        return std::pair{char32_t{first}, std::size_t{1}};
    }
    std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) {
        return std::nullopt;
    }
    char32_t value = first & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    return std::pair{value, length};
}

std::string_view trimmed(std::string_view text) {
    std::size_t begin = std::string_view::npos;
    std::size_t end = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto decoded = decodeAt(text, at);
        const std::size_t length = decoded ? decoded->second : 1;
        if (!decoded || !isWhiteSpaceOrNewline(decoded->first)) {
            if (begin == std::string_view::npos) {
                begin = at;
            }
            end = at + length;
        }
        at += length;
    }
    return begin == std::string_view::npos ? std::string_view{} : text.substr(begin, end - begin);
}

std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> result;
    std::size_t at = 0;
    std::size_t fieldStart = std::string_view::npos;
    while (at < text.size()) {
        const auto decoded = decodeAt(text, at);
        const std::size_t length = decoded ? decoded->second : 1;
        const bool space = decoded && isWhiteSpaceOrNewline(decoded->first);
        if (space && fieldStart != std::string_view::npos) {
            result.push_back(text.substr(fieldStart, at - fieldStart));
            fieldStart = std::string_view::npos;
        } else if (!space && fieldStart == std::string_view::npos) {
            fieldStart = at;
        }
        at += length;
    }
    if (fieldStart != std::string_view::npos) {
        result.push_back(text.substr(fieldStart));
    }
    return result;
}

std::string unexpected(PackageManager manager, std::string_view line) {
    return "Unexpected " + std::string(manager.displayName()) +
           " inventory output: " + std::string(line);
}

} // namespace

std::set<std::string> installed(const std::string& path, PackageManager manager, bool cask,
                                ProcessRunner& runner, const ProcessRunner::OutputHandler& onLog,
                                double timeLimit) {
    Box box;
    const std::vector<std::string> arguments =
        manager == PackageManager::homebrew ? BrewCommandBuilder::listInstalledArguments(cask)
                                            : std::vector<std::string>{"-q", "installed", "active"};
    // A warning is not inventory, but it is worth seeing; it must never go unsaid.
    const ProcessRunner::OutputHandler showError = [&onLog](const std::string& line) {
        if (onLog) {
            onLog(line);
        }
    };
    const CommandResult result = runner.run(
        path, arguments, timeLimit,
        [&box](const std::string& line) {
            std::lock_guard guard(box.lock);
            box.lines.push_back(line);
        },
        showError);
    if (!result.succeeded()) {
        throw PackageManagerError::commandFailed(
            std::string(manager.displayName()) + " installed-package probe failed (status " +
            std::to_string(result.exitCode) + ", timeout: " + (result.timedOut ? "true" : "false") +
            ", cancelled: " + (result.cancelled ? "true" : "false") + ").");
    }
    std::vector<std::string> lines;
    {
        std::lock_guard guard(box.lock);
        lines = std::move(box.lines);
    }
    return parse(lines, manager);
}

std::set<std::string> parse(const std::vector<std::string>& lines, PackageManager manager) {
    std::set<std::string> names;
    for (const std::string& line : lines) {
        const std::string_view text = trimmed(line);
        if (text.empty()) {
            continue;
        }
        if (manager == PackageManager::homebrew) {
            if (!manager.isValidPackageName(text)) {
                throw PackageManagerError::commandFailed(unexpected(manager, text));
            }
            names.emplace(text);
            continue;
        }
        if (text == "No ports are installed." ||
            text == "None of the specified ports are installed.") {
            continue;
        }
        const std::vector<std::string_view> parts = fields(text);
        if (parts.size() < 3 || !parts[1].starts_with("@") || parts.back() != "(active)") {
            throw PackageManagerError::commandFailed(unexpected(manager, text));
        }
        names.emplace(parts.front());
    }
    return names;
}

} // namespace cairnmoor::InstalledProbe
