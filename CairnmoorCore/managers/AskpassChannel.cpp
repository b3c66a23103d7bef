#include "managers/AskpassChannel.hpp"

#include "platform/PeerAccount.hpp"
#include "platform/Posix.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#if defined(__APPLE__)
#include <sys/random.h>
#endif

namespace cairnmoor {

namespace fs = std::filesystem;
using posix::FileDescriptor;
using posix::retryOnInterrupt;

namespace {

constexpr const char* socketName = "socket";
constexpr const char* secretName = "secret";
// A request is the secret, a process id and a prompt; anything longer is not ours.
constexpr std::size_t requestLimit = 1024;
// How long a connection may take to say what it wants.
constexpr int requestTimeoutMs = 5000;

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// A closed peer must not end the process with SIGPIPE.
bool sendAll(int fd, std::string_view data) {
#if defined(MSG_NOSIGNAL)
    constexpr int flags = MSG_NOSIGNAL;
#else
    constexpr int flags = 0;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    while (!data.empty()) {
        const ssize_t sent =
            retryOnInterrupt([&] { return ::send(fd, data.data(), data.size(), flags); });
        if (sent <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Reads until `lines` line feeds have come, the peer stops, `limit` bytes or the time
// runs out; true only for the first.
bool readLines(int fd, SecretText& into, int lines, std::size_t limit, int timeoutMs) {
    char buffer[256];
    while (lines > 0) {
        pollfd ready{fd, POLLIN, 0};
        if (retryOnInterrupt([&] { return ::poll(&ready, 1, timeoutMs); }) <= 0) {
            return false;
        }
        const ssize_t got = retryOnInterrupt([&] { return ::read(fd, buffer, sizeof buffer); });
        if (got <= 0 || into.size() + static_cast<std::size_t>(got) > limit) {
            SecretText::wipe(buffer, sizeof buffer);
            return false;
        }
        const std::string_view chunk(buffer, static_cast<std::size_t>(got));
        for (const char c : chunk) {
            lines -= c == '\n' ? 1 : 0;
        }
        into.append(chunk);
        SecretText::wipe(buffer, sizeof buffer);
    }
    return lines == 0;
}

// Compares without stopping at the first difference, so timing tells nothing.
bool sameSecret(std::string_view a, std::string_view b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

SecretText newSecret() {
    unsigned char bytes[32];
    if (::getentropy(bytes, sizeof bytes) != 0) {
        fail("cannot make the password channel's secret");
    }
    SecretText secret;
    constexpr char digits[] = "0123456789abcdef";
    for (const unsigned char byte : bytes) {
        const char pair[2] = {digits[byte >> 4], digits[byte & 15]};
        secret.append({pair, 2});
    }
    SecretText::wipe(bytes, sizeof bytes);
    return secret;
}

sockaddr_un socketAddress(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        fail("the password channel's folder " + path.parent_path().string());
    }
    std::memcpy(address.sun_path, path.c_str(), path.native().size() + 1);
    return address;
}

// sudo's prompt as one line of plain text.
std::string plainPrompt(std::string_view prompt) {
    std::string text;
    for (const char c : prompt.substr(0, 200)) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte == 0x7f ? ' ' : c;
    }
    return text;
}

} // namespace

struct AskpassChannel::State {
    Handlers handlers;
    fs::path folder;
    SecretText secret;
    FileDescriptor listening;
    FileDescriptor wakeRead;
    FileDescriptor wakeWrite;
    std::thread thread;

    std::mutex lock; // guards the fields below
    bool stopping = false;
    std::uint64_t pending = 0;
    struct Reply {
        SecretText password;
        bool keep = false;
        bool given = false;
    };
    std::optional<Reply> reply;
    SecretText kept;

    // Only the channel's thread touches these.
    std::uint64_t lastNumber = 0;
    long lastAsker = -1;
    bool lastAnswered = false;
    bool lastFromKept = false;

    void wake() {
        const char byte = 1;
        (void)!::write(wakeWrite.get(), &byte, 1);
    }
    void serve();
    void handle(FileDescriptor connection);
    // Waits for the answer to `number`; none when the asker went away or we stop.
    std::optional<Reply> awaitReply(int connection, std::uint64_t number);
};

AskpassChannel::AskpassChannel(const fs::path& executable, Handlers handlers,
                               const fs::path& parent)
    : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.handlers = std::move(handlers);
    fs::path base = parent;
    if (base.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        base = temporary != nullptr && *temporary != '\0' ? temporary : "/tmp";
    }
    std::string pattern = (base / "cairnmoor-askpass-XXXXXX").string();
    // mkdtemp makes the folder with mode 0700, whatever the umask.
    if (::mkdtemp(pattern.data()) == nullptr) {
        fail("cannot make the password channel's folder in " + base.string());
    }
    state.folder = pattern;
    try {
        state.secret = newSecret();
        const FileDescriptor folder(
            ::open(state.folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const FileDescriptor secretFile(::openat(
            folder.get(), secretName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!folder || !secretFile || !posix::writeAll(secretFile.get(), state.secret.view())) {
            fail("cannot write the password channel's secret");
        }
        if (::symlinkat(executable.c_str(), folder.get(), helperName) != 0) {
            fail("cannot link the password helper");
        }
        state.listening = FileDescriptor(::socket(AF_UNIX, SOCK_STREAM, 0));
        if (!state.listening) {
            fail("cannot open the password channel");
        }
        posix::setCloseOnExec(state.listening.get());
        const sockaddr_un address = socketAddress(state.folder / socketName);
        if (::bind(state.listening.get(), reinterpret_cast<const sockaddr*>(&address),
                   sizeof address) != 0 ||
            ::listen(state.listening.get(), 4) != 0) {
            fail("cannot listen on the password channel");
        }
        if (!posix::makeCloseOnExecPipe(state.wakeRead, state.wakeWrite)) {
            fail("cannot make the password channel's pipe");
        }
        state.thread = std::thread([&state] { state.serve(); });
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(state.folder, ignored);
        throw;
    }
}

AskpassChannel::~AskpassChannel() {
    {
        std::lock_guard guard(state_->lock);
        state_->stopping = true;
    }
    state_->wake();
    state_->thread.join();
    state_->listening.close();
    std::error_code ignored;
    fs::remove_all(state_->folder, ignored);
}

fs::path AskpassChannel::helperPath() const {
    return state_->folder / helperName;
}

const fs::path& AskpassChannel::folder() const {
    return state_->folder;
}

void AskpassChannel::answer(std::uint64_t number, SecretText password, bool keep) {
    {
        std::lock_guard guard(state_->lock);
        if (state_->pending != number || state_->reply) {
            return;
        }
        state_->reply = State::Reply{std::move(password), keep, true};
    }
    state_->wake();
}

void AskpassChannel::refuse(std::uint64_t number) {
    {
        std::lock_guard guard(state_->lock);
        if (state_->pending != number || state_->reply) {
            return;
        }
        state_->reply = State::Reply{};
    }
    state_->wake();
}

void AskpassChannel::forget() {
    std::lock_guard guard(state_->lock);
    state_->kept.clear();
}

void AskpassChannel::State::serve() {
    for (;;) {
        // Looked at before waiting too: the wake that came with a stop may have been
        // taken while a request was waiting for its answer.
        {
            std::lock_guard guard(lock);
            if (stopping) {
                return;
            }
        }
        pollfd ready[2] = {{listening.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
        if (retryOnInterrupt([&] { return ::poll(ready, 2, -1); }) < 0) {
            return;
        }
        if (ready[1].revents != 0) {
            char drained[16];
            (void)!::read(wakeRead.get(), drained, sizeof drained);
        }
        {
            std::lock_guard guard(lock);
            if (stopping) {
                return;
            }
        }
        if ((ready[0].revents & POLLIN) != 0) {
            FileDescriptor connection(
                retryOnInterrupt([&] { return ::accept(listening.get(), nullptr, nullptr); }));
            if (connection) {
                posix::setCloseOnExec(connection.get());
                handle(std::move(connection));
            }
        }
    }
}

void AskpassChannel::State::handle(FileDescriptor connection) {
    // Another account never gets an answer, even with the secret.
    const std::optional<uid_t> peer = peerAccount(connection.get());
    if (!peer || *peer != ::geteuid()) {
        return;
    }
    SecretText request;
    if (!readLines(connection.get(), request, 3, requestLimit, requestTimeoutMs)) {
        return;
    }
    const std::string_view text = request.view();
    const std::size_t first = text.find('\n');
    const std::size_t second = text.find('\n', first + 1);
    if (!sameSecret(text.substr(0, first), secret.view())) {
        return;
    }
    const std::string asker(text.substr(first + 1, second - first - 1));
    const long askerId = std::strtol(asker.c_str(), nullptr, 10);
    const std::size_t third = text.find('\n', second + 1);
    const std::string prompt = plainPrompt(text.substr(second + 1, third - second - 1));
    // sudo asks again, from the same process, only after a wrong password.
    const bool retry = lastAnswered && askerId == lastAsker;
    lastAsker = askerId;

    std::optional<Reply> reply;
    {
        std::lock_guard guard(lock);
        if (retry && lastFromKept) {
            kept.clear();
        }
        if (!retry && !kept.empty()) {
            reply = Reply{SecretText(kept.view()), true, true};
        }
    }
    lastFromKept = reply.has_value();
    if (!reply) {
        const std::uint64_t number = ++lastNumber;
        {
            std::lock_guard guard(lock);
            pending = number;
            this->reply.reset();
        }
        if (handlers.onRequest) {
            handlers.onRequest(Request{number, prompt, retry});
        }
        reply = awaitReply(connection.get(), number);
        if (!reply) {
            lastAnswered = false;
            return;
        }
    }
    lastAnswered = reply->given;
    if (!reply->given) {
        (void)sendAll(connection.get(), "-\n");
        return;
    }
    SecretText message("+");
    message.append(reply->password.view());
    message.append("\n");
    (void)sendAll(connection.get(), message.view());
    if (reply->keep) {
        std::lock_guard guard(lock);
        kept = std::move(reply->password);
    }
}

std::optional<AskpassChannel::State::Reply>
AskpassChannel::State::awaitReply(int connection, std::uint64_t number) {
    for (;;) {
        {
            std::lock_guard guard(lock);
            if (reply || stopping) {
                pending = 0;
                if (!reply) {
                    return Reply{}; // stopping: refused
                }
                return std::exchange(reply, std::nullopt);
            }
        }
        pollfd ready[2] = {{connection, POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
        if (retryOnInterrupt([&] { return ::poll(ready, 2, -1); }) < 0) {
            return Reply{};
        }
        if (ready[1].revents != 0) {
            char drained[16];
            (void)!::read(wakeRead.get(), drained, sizeof drained);
        }
        // The helper sends nothing more: anything readable is its end (or garbage).
        if (ready[0].revents != 0) {
            {
                std::lock_guard guard(lock);
                pending = 0;
                reply.reset();
            }
            if (handlers.onWithdrawn) {
                handlers.onWithdrawn(number);
            }
            return std::nullopt;
        }
    }
}

} // namespace cairnmoor
