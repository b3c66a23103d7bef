#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace cairnmoor::testing {

// What a finished run of the executable left behind.
struct CliResult {
    std::string out;
    std::string err;
    int status = -1;    // the exit status; -1 when it ended by a signal
    int termSignal = 0; // the signal that ended it, if any
};

// The built Cairnmoor, started as a user would start it: given arguments, exactly the
// given environment and working folder, standard input from /dev/null, and both
// output streams captured separately.
class CliProcess {
public:
    CliProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment,
               const std::filesystem::path& workingDirectory);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Waits until standard output contains the text; false when the deadline passes
    // or the process ends first.
    bool waitForOutput(std::string_view text, std::chrono::milliseconds deadline);
    void sendSignal(int signalNumber) const;
    // Waits for the process to end and both streams to close. A process still running
    // at the deadline is killed and the test fails.
    CliResult finish(std::chrono::milliseconds deadline = std::chrono::seconds(60));

private:
    void readAll(int outFd, int errFd);

    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable changed_;
    CliResult result_;
    bool ended_ = false;
};

// Runs the executable to its end.
CliResult runCli(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment,
                 const std::filesystem::path& workingDirectory);

// The process groups of the direct children of a process (from `ps`).
std::vector<pid_t> childProcessGroups(pid_t parent);
// True while any process is left in the group.
bool processGroupExists(pid_t group);

} // namespace cairnmoor::testing
