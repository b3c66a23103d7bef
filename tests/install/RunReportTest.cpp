// The report a fleet tool reads, against the documented text: a run where every state
// occurs, interrupted while an app was still being worked on.

#include "install/RunReport.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <csignal>

namespace cairnmoor {
namespace {

using namespace std::chrono_literals;
using Action = PlannedAction;
using State = PackageState;

TEST(RunReport, EveryStateIsEncodedAsDocumented) {
    const auto start = std::chrono::system_clock::from_time_t(1796119200); // 2026-12-01 10:00 UTC
    const RunReport report{
        .startedAt = start,
        .endedAt = start + 3min + 12s,
        .version = "1.4.0",
        .host = "studio-mac-07",
        .profile = "/Library/Cairnmoor/team.cmprofile",
        .manager = PackageManager::homebrew,
        .managerPath = "/opt/homebrew/bin/brew",
        .runAs = "ann",
        .options = InstallOptions{},
        .logFile = "/Library/Logs/Cairnmoor/team.log",
        .outcome = RunReport::Outcome::interrupted,
        .signalNumber = SIGTERM,
        .error = "",
        .apps = {{"firefox", "Firefox", "firefox", Action::install, State::installed(), 41250ms},
                 {"vlc", "VLC", "vlc", Action::upgrade, State::installed(), 9800ms},
                 {"zoom", "Zoom", "zoom", Action::adopt,
                  State::failed("brew exited with status 1 \"\x01\xff\""), 1200ms},
                 {"wget", "Wget", "wget", Action::alreadyInstalled, State::alreadyPresent(), 0ms},
                 {"slack", "Slack", "slack", Action::installedOutside, State::installedOutside(),
                  0ms},
                 {"gimp", "GIMP", "gimp", Action::replace, State::installing(), 300ms},
                 {"tor", "Tor", "", Action::notInstallable,
                  State::failed("No Homebrew mapping for Tor."), 0ms},
                 {"blender", "Blender", "blender", Action::install, State::skipped(), 0ms},
                 {"code", "VS Code", "visual-studio-code", Action::upgrade,
                  State::skippedRunning("Visual Studio Code.app"), 0ms},
                 // The run ended before its plan: nothing was decided for it.
                 {"inkscape", "Inkscape", "inkscape", std::nullopt, State::pending(), 0ms}},
        .exitStatus = 128 + SIGTERM};
    EXPECT_EQ(report.json(), testing::readFile(std::filesystem::path(CAIRNMOOR_SOURCE_DIR) /
                                               "tests/install/fixtures/report.golden.json"));
}

} // namespace
} // namespace cairnmoor
