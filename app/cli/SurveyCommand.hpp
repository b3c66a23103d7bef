#pragma once

#include "catalogue/AppEntry.hpp"
#include "cli/RunSetup.hpp"
#include "install/InstallOptions.hpp"

#include <cstdint>
#include <vector>

// --dry-run and --check: the plan, and nothing that changes the Mac. --dry-run prints what
// would happen to each app; --check lists what is missing and returns 1 if anything is.
namespace cairnmoor::SurveyCommand {

std::int32_t run(const std::vector<AppEntry>& selected, InstallOptions options,
                 const RunSetup& setup, bool check);

} // namespace cairnmoor::SurveyCommand
