#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The bash install script (also the MacPorts Terminal hand-off) and the Brewfile.
namespace cairnmoor::ScriptExporter {

inline constexpr const char* homebrewInstallScriptURL =
    "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh";

// A self-contained bash script performing the same install as the engine. Never
// fails: a rejected selection or a non-canonical MacPorts path gives a short script
// that prints the problem and exits 1.
std::string shellScript(const std::vector<AppEntry>& entries, const InstallOptions& options,
                        const std::optional<std::string>& executablePath);
// `cask "name"` / `brew "name"` lines for the entries with a macOS record.
std::string brewfile(const std::vector<AppEntry>& entries);
// Bash quoting: safe text (^[A-Za-z0-9._/@-]+$) unchanged, everything else in single quotes.
std::string shellQuoted(std::string_view text);

} // namespace cairnmoor::ScriptExporter
