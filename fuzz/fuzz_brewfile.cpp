// Brewfile reading: any bytes are read without a crash or a hang; every line refused is
// named by a number inside the file, in order; every package read passes Homebrew's name
// rule and survives writing as a Brewfile and reading back.
#include "export/ScriptExporter.hpp"
#include "import/BrewfileReader.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace cairnmoor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Brewfile read = BrewfileReader::read(text);
    const std::size_t lines =
        static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::size_t previous = 0;
    for (const Brewfile::Unusable& line : read.unusable) {
        if (line.line <= previous || line.line > lines || line.reason.empty()) {
            __builtin_trap();
        }
        previous = line.line;
    }
    std::vector<AppEntry> entries;
    for (const ProfilePackage& package : read.packages) {
        if (!package.hasValidName()) {
            __builtin_trap();
        }
        entries.push_back(package.entry());
    }
    const Brewfile again = BrewfileReader::read(ScriptExporter::brewfile(entries));
    if (again.packages != read.packages || !again.unusable.empty()) {
        __builtin_trap();
    }
    return 0;
}
