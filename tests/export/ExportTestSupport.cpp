#include "ExportTestSupport.hpp"

#include <cstdio>
#include <stdexcept>
#include <sys/wait.h>

namespace cairnmoor::testing {

AppEntry cask(const std::string& name, const std::string& brew) {
    AppEntry entry = formula(name, brew);
    entry.macos->type = "cask";
    return entry;
}

AppEntry formula(const std::string& name, const std::string& brew,
                 std::optional<std::string> macports) {
    AppEntry entry = unmapped(name);
    entry.id = brew;
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
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

CommandOutput runCommand(const std::vector<std::string>& command,
                         const std::map<std::string, std::string>& environment) {
    // Quoted here independently of the exporter's own quoting.
    const auto quote = [](const std::string& text) {
        std::string quoted = "'";
        for (const char c : text) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    };
    std::string line = "exec /usr/bin/env -i";
    for (const auto& [name, value] : environment) {
        line += " " + quote(name + "=" + value);
    }
    for (const std::string& word : command) {
        line += " " + quote(word);
    }
    FILE* pipe = ::popen((line + " </dev/null 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("popen failed");
    }
    CommandOutput result;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace cairnmoor::testing
