#include "CliSandbox.hpp"

#include <cstdlib>
#include <fstream>

namespace cairnmoor::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* catalogue = R"({
  "schema": 2,
  "updated": "2026-12-01",
  "licences": {"free": "Free to use."},
  "categories": ["Tools"],
  "apps": [
    {"id": "alpha", "name": "Alpha", "category": "Tools", "licence": "free",
     "homepage": "https://alpha.example", "summary": "A.",
     "macos": {"brew": "alpha", "type": "cask"}},
    {"id": "beta", "name": "Beta", "category": "Tools", "licence": "free",
     "homepage": "https://beta.example", "summary": "B.",
     "macos": {"brew": "beta", "type": "formula", "macports": "beta"}},
    {"id": "gamma", "name": "Gamma", "category": "Tools", "licence": "free",
     "homepage": "https://gamma.example", "summary": "G.",
     "macos": {"brew": "gamma", "type": "cask"}},
    {"id": "delta", "name": "Delta", "category": "Tools", "licence": "free",
     "homepage": "https://delta.example", "summary": "D."}
  ]
})";

} // namespace

CliSandbox::CliSandbox()
    : home_(root_ / "home"), work_(root_ / "work"), bin_(root_ / "bin"), state_(root_ / "state") {
    for (const fs::path& folder : {home_, work_, bin_, state_}) {
        fs::create_directories(folder);
    }
    fs::create_symlink(fs::path(CAIRNMOOR_FAKES_DIR) / "brew", bin_ / "brew");
    environment = {
        {"HOME", home_.string()},
        {"PATH", bin_.string() + ":/usr/bin:/bin"},
        {"CAIRNMOOR_FAKE_STATE", state_.string()},
        {"LANG", "C.UTF-8"},
    };
    // Sanitizer builds read their settings from the environment; pass them on.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            environment[name] = value;
        }
    }
}

bool CliSandbox::realHomebrewInTheWay() {
    return fs::exists("/opt/homebrew/bin/brew") || fs::exists("/usr/local/bin/brew");
}

void CliSandbox::writeCatalogue() const {
    writeCatalogue(catalogue);
}

void CliSandbox::writeCatalogue(const std::string& json) const {
    root_.write("home/Library/Application Support/Cairnmoor/catalog.json", json);
}

fs::path CliSandbox::writeProfile(const std::string& fileName, const std::vector<std::string>& apps,
                                  const std::string& optionsJson) const {
    std::string list;
    for (const std::string& id : apps) {
        list += (list.empty() ? "\"" : ", \"") + id + "\"";
    }
    return root_.write("work/" + fileName, R"({"schema": 2, "created": "2026-12-01T10:00:00Z",)"
                                           R"( "apps": [)" +
                                               list + R"(], "options": )" + optionsJson + "}");
}

void CliSandbox::withoutBrew() const {
    fs::remove(bin_ / "brew");
}

void CliSandbox::preinstall(const std::string& kind, const std::string& name) const {
    root_.write("state/" + kind + "/" + name, "1.0.0\n");
}

std::vector<std::string> CliSandbox::invocations() const {
    std::vector<std::string> lines;
    std::ifstream log(state_ / "invocations.log");
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<fs::path> CliSandbox::filesLeft() const {
    std::vector<fs::path> files;
    for (const fs::path& folder : {home_, work_}) {
        for (const auto& item : fs::recursive_directory_iterator(folder)) {
            if (!item.is_directory()) {
                files.push_back(item.path());
            }
        }
    }
    return files;
}

CliResult CliSandbox::run(const std::vector<std::string>& arguments) const {
    return runCli(executable, arguments, environment, work_);
}

std::unique_ptr<CliProcess> CliSandbox::start(const std::vector<std::string>& arguments) const {
    return std::make_unique<CliProcess>(executable, arguments, environment, work_);
}

} // namespace cairnmoor::testing
