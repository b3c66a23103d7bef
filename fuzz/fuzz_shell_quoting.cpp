// Shell quoting: the quoted text must read back, as one POSIX shell word, exactly as
// the original, and safe text must stay unquoted.
#include "export/ScriptExporter.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using namespace cairnmoor;

namespace {

bool isSafe(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '/' || c == '@' || c == '-';
}

// A small reader for the subset of shell syntax the quoting may produce: unquoted safe
// characters, '...' segments and backslash escapes. Anything else unquoted would be
// special to the shell or split the word, so it fails the reading.
std::optional<std::string> readShellWord(std::string_view word) {
    if (word.empty()) {
        return std::nullopt;
    }
    std::string value;
    std::size_t i = 0;
    while (i < word.size()) {
        const char c = word[i];
        if (c == '\'') {
            const auto close = word.find('\'', i + 1);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            value.append(word.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '\\') {
            if (i + 1 >= word.size() || word[i + 1] == '\n') {
                return std::nullopt;
            }
            value.push_back(word[i + 1]);
            i += 2;
        } else if (isSafe(c)) {
            value.push_back(c);
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string original(reinterpret_cast<const char*>(data), size);
    // A shell word cannot carry a NUL byte; the exporter never receives one from JSON text.
    if (original.find('\0') != std::string::npos) {
        return 0;
    }
    const std::string quoted = ScriptExporter::shellQuoted(original);
    const auto readBack = readShellWord(quoted);
    if (!readBack || *readBack != original) {
        __builtin_trap();
    }
    bool allSafe = !original.empty();
    for (const char c : original) {
        allSafe = allSafe && isSafe(c);
    }
    if (allSafe != (quoted == original)) {
        __builtin_trap();
    }
    return 0;
}
