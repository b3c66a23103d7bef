#include "ExportTestSupport.hpp"

#include <cstdio>
#include <stdexcept>
#include <sys/wait.h>

namespace cairnmoor::testing {

AppEntry cask(const std::string& name, const std::string& brew) {
    AppEntry entry;
    entry.id = brew;
    entry.name = name;
    entry.macos = MacOSInfo{brew, "cask", std::nullopt};
    return entry;
}

AppEntry formula(const std::string& name, const std::string& brew,
                 std::optional<std::string> macports) {
    AppEntry entry;
    entry.id = brew;
    entry.name = name;
    entry.macos = MacOSInfo{brew, "formula", std::move(macports)};
    return entry;
}

AppEntry port(const std::string& name, const std::string& macports) {
    return formula(name, macports, macports);
}

AppEntry unmapped(const std::string& name) {
    AppEntry entry;
    entry.id = name;
    entry.name = name;
    return entry;
}

InstallOptions options(PackageManager manager, bool skipInstalled, bool upgradeIfPresent,
                       bool runUpdateFirst, bool writeLog) {
    InstallOptions result;
    result.packageManager = manager;
    result.skipInstalled = skipInstalled;
    result.upgradeIfPresent = upgradeIfPresent;
    result.runUpdateFirst = runUpdateFirst;
    result.writeLog = writeLog;
    return result;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

namespace {

// Always single-quotes, independently of the exporter's own quoting.
std::string quoteForHarness(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

CommandOutput runCommand(const std::vector<std::string>& command,
                         const std::map<std::string, std::string>& environment) {
    std::string line = "exec /usr/bin/env -i";
    for (const auto& [name, value] : environment) {
        line += " " + quoteForHarness(name + "=" + value);
    }
    for (const std::string& word : command) {
        line += " " + quoteForHarness(word);
    }
    line += " </dev/null 2>&1";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("popen failed");
    }
    CommandOutput result;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace cairnmoor::testing
