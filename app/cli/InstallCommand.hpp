#pragma once

#include "catalogue/AppEntry.hpp"
#include "cli/ReportWriter.hpp"
#include "cli/RunSetup.hpp"
#include "install/InstallOptions.hpp"

#include <cstdint>
#include <vector>

// The install of a profile's selection without a window: progress and log lines as they
// come, the FAILED: lines and the summary, the report and the log. An interrupt stops the
// manager's commands and ends the run with 128 + the signal.
namespace cairnmoor::InstallCommand {

std::int32_t run(const std::vector<AppEntry>& selected, InstallOptions options,
                 const RunSetup& setup, ReportWriter& report);

} // namespace cairnmoor::InstallCommand
