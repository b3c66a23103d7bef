#pragma once

namespace cairnmoor {

// Starts the window and runs until the user quits; returns the process's exit status.
// Called only after the command line has declined the arguments.
int startGraphicalApplication(int argc, char** argv);

} // namespace cairnmoor
