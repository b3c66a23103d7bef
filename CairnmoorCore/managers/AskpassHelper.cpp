#include "managers/AskpassHelper.hpp"

#include "managers/AskpassChannel.hpp"
#include "platform/Posix.hpp"
#include "platform/SecretText.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace cairnmoor::AskpassHelper {

namespace fs = std::filesystem;
using posix::FileDescriptor;
using posix::retryOnInterrupt;

namespace {

constexpr std::size_t replyLimit = 4096;

int refuse(const char* why) {
    std::fprintf(stderr, "cairnmoor-askpass: %s\n", why);
    return 1;
}

// The secret, from a file that only we can have written: ours, not a link, no access
// for anyone else.
bool readSecret(const fs::path& folder, SecretText& secret) {
    const FileDescriptor file(
        ::open((folder / "secret").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        return false;
    }
    char buffer[128];
    const ssize_t got = retryOnInterrupt([&] { return ::read(file.get(), buffer, sizeof buffer); });
    if (got > 0) {
        secret.assign({buffer, static_cast<std::size_t>(got)});
    }
    SecretText::wipe(buffer, sizeof buffer);
    return got > 0;
}

} // namespace

bool isInvokedAs(const char* argv0) {
    return argv0 != nullptr && fs::path(argv0).filename() == AskpassChannel::helperName;
}

int main(const char* argv0, int argc, char** argv) {
    fs::path self(argv0);
    if (!self.has_parent_path()) {
        const char* named = std::getenv("SUDO_ASKPASS");
        self = named != nullptr ? named : "";
    }
    const fs::path folder = self.parent_path();
    SecretText request;
    if (folder.empty() || !readSecret(folder, request)) {
        return refuse("this is not a password channel of Cairnmoor's");
    }
    const std::string socketPath = (folder / "socket").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return refuse("the channel's path is too long");
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const FileDescriptor connection(::socket(AF_UNIX, SOCK_STREAM, 0));
    if (!connection || retryOnInterrupt([&] {
                           return ::connect(connection.get(),
                                            reinterpret_cast<const sockaddr*>(&address),
                                            sizeof address);
                       }) != 0) {
        return refuse("Cairnmoor is not listening (the run is over)");
    }
    // The asker is sudo, our parent: the same one asking again means a wrong password.
    std::string prompt = argc > 1 ? argv[1] : "Password:";
    for (char& c : prompt) {
        c = c == '\n' ? ' ' : c;
    }
    request.append("\n" + std::to_string(::getppid()) + "\n" + prompt + "\n");
    if (!posix::writeAll(connection.get(), request.view())) {
        return refuse("Cairnmoor did not take the question");
    }
    request.clear();

    SecretText reply;
    char buffer[256];
    for (;;) {
        const ssize_t got =
            retryOnInterrupt([&] { return ::read(connection.get(), buffer, sizeof buffer); });
        if (got <= 0 || reply.size() + static_cast<std::size_t>(got) > replyLimit) {
            break;
        }
        reply.append({buffer, static_cast<std::size_t>(got)});
    }
    SecretText::wipe(buffer, sizeof buffer);
    const std::string_view answer = reply.view();
    if (answer.size() < 2 || answer.front() != '+' || answer.back() != '\n') {
        return refuse("no password was given");
    }
    return posix::writeAll(STDOUT_FILENO, answer.substr(1)) ? 0 : 1;
}

} // namespace cairnmoor::AskpassHelper
