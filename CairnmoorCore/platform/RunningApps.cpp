#include "platform/RunningApps.hpp"

#include <algorithm>
#include <thread>

namespace cairnmoor {

namespace {

namespace fs = std::filesystem;

// A bundle as given and with its links resolved: a running executable's path has its
// links resolved (macOS: /tmp is /private/tmp), so both forms are compared.
struct Place {
    std::string given;
    std::string resolved;

    explicit Place(const fs::path& bundle) : given(trimmed(bundle)) {
        std::error_code ignored;
        const fs::path canonical = fs::weakly_canonical(bundle, ignored);
        resolved = canonical.empty() ? given : trimmed(canonical);
    }

    // Inside the bundle, at a path component boundary: "Foo.app" does not hold
    // "Foo.app2/...".
    bool holds(const fs::path& path) const {
        return under(path.native(), given) || under(path.native(), resolved);
    }

    // The app itself rather than one of its helpers: directly in Contents/MacOS.
    bool isMainExecutable(const fs::path& path) const {
        const std::string folder = path.parent_path().lexically_normal().native();
        return folder == given + "/Contents/MacOS" || folder == resolved + "/Contents/MacOS";
    }

private:
    static std::string trimmed(const fs::path& path) {
        std::string text = path.lexically_normal().native();
        while (text.size() > 1 && text.back() == '/') {
            text.pop_back();
        }
        return text;
    }
    static bool under(const std::string& path, const std::string& folder) {
        return path.size() > folder.size() + 1 && path.starts_with(folder) &&
               path[folder.size()] == '/';
    }
};

std::vector<Place> places(const std::vector<fs::path>& bundles) {
    return {bundles.begin(), bundles.end()};
}

} // namespace

std::vector<RunningApps::Process> RunningApps::inside(const std::vector<fs::path>& bundles) const {
    if (bundles.empty()) {
        return {}; // a package without app bundles (a formula) costs no look at every process
    }
    const std::vector<Place> wanted = places(bundles);
    std::vector<Process> found;
    for (Process& process : processes()) {
        if (std::any_of(wanted.begin(), wanted.end(),
                        [&](const Place& place) { return place.holds(process.executable); })) {
            found.push_back(std::move(process));
        }
    }
    return found;
}

std::vector<fs::path> RunningApps::open(const std::vector<fs::path>& bundles) const {
    if (bundles.empty()) {
        return {};
    }
    // Each bundle resolved once, every process listed once: this runs at every poll.
    const std::vector<Place> wanted = places(bundles);
    const std::vector<Process> running = processes();
    std::vector<fs::path> found;
    for (std::size_t i = 0; i < bundles.size(); ++i) {
        if (std::any_of(running.begin(), running.end(), [&](const Process& process) {
                return wanted[i].holds(process.executable);
            })) {
            found.push_back(bundles[i]);
        }
    }
    return found;
}

std::vector<fs::path> RunningApps::quit(const std::vector<fs::path>& bundles,
                                        std::chrono::milliseconds limit,
                                        const std::function<bool()>& stop,
                                        std::chrono::milliseconds interval) const {
    const std::vector<Place> wanted = places(bundles);
    for (const Process& process : inside(bundles)) {
        if (std::any_of(wanted.begin(), wanted.end(), [&](const Place& place) {
                return place.isMainExecutable(process.executable);
            })) {
            askToQuit(process.pid);
        }
    }
    // An app may ask its user about unsaved work and take its time; looking again is the
    // only news we get of another app's end.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<fs::path> running = open(bundles);
    while (!running.empty() && std::chrono::steady_clock::now() < deadline && !(stop && stop())) {
        std::this_thread::sleep_for(interval);
        running = open(bundles);
    }
    return running;
}

const RunningApps& RunningApps::system() {
    static const RunningApps instance;
    return instance;
}

} // namespace cairnmoor
