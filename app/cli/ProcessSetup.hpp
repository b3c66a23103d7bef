#pragma once

// What a process inherits from whoever started it (a launcher, a daemon, a fleet
// agent, a shell script) and must not trip over.
namespace cairnmoor::ProcessSetup {

// Descriptors 0, 1 and 2 open (on /dev/null when they were closed), so that no pipe
// of ours can land on them and be mistaken for a standard stream; SIGCHLD at its
// default, so our children's statuses are ours to read; SIGPIPE and SIGXFSZ ignored,
// so a reader that went away or a full disk makes a write fail instead of killing us
// while a package manager runs on alone.
void normalise();

} // namespace cairnmoor::ProcessSetup
