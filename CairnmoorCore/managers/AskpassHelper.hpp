#pragma once

// The helper's side of the password channel (AskpassChannel): what Cairnmoor does when
// sudo starts it as `cairnmoor-askpass PROMPT`. It reads the run's secret from the
// channel's folder (the folder its link lies in), asks over the socket there, and prints
// the password and a line feed on standard output (status 0), or a message on standard
// error (status 1). Nothing of Qt or of the command line is involved.
namespace cairnmoor::AskpassHelper {

// True when the executable was started through the helper link.
bool isInvokedAs(const char* argv0);
int main(const char* argv0, int argc, char** argv);

} // namespace cairnmoor::AskpassHelper
