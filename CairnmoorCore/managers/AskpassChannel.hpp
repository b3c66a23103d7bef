#pragma once

#include "platform/SecretText.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace cairnmoor {

// The private way by which `sudo -A`, run by the manager's children, asks the person at
// the window for an administrator password. One channel per run:
//
// - a folder only we can open (mode 0700) holds a listening Unix socket, a file with a
//   secret made for this run (mode 0600), and `cairnmoor-askpass`, a link to our own
//   executable that SUDO_ASKPASS names; started by that name, the executable is the helper
//   (AskpassHelper) and finds the socket and the secret beside itself, so nothing of the
//   secret is in an environment or on a command line;
// - a connection is served only when its peer runs as our own user and sends the secret;
//   one request at a time;
// - the helper sends the secret, the process id of the sudo that started it, and sudo's
//   prompt; it gets back the password, or a refusal. The password is never written
//   anywhere but to that one connection.
class AskpassChannel {
public:
    struct Request {
        std::uint64_t number = 0; // to answer it by
        std::string prompt;       // sudo's, control characters left out
        // The same sudo asks again: the password it was given last was wrong.
        bool retry = false;
    };
    struct Handlers {
        // On the channel's own thread, for each request no kept password answers; answer
        // it later, from any thread, with answer() or refuse().
        std::function<void(const Request&)> onRequest;
        // The asker went away before it had an answer (its package timed out or was
        // cancelled): close the question.
        std::function<void(std::uint64_t number)> onWithdrawn;
    };

    // Makes the folder under `parent` (the system's temporary folder when empty) and
    // starts listening. `executable` is Cairnmoor's own. Throws std::system_error.
    AskpassChannel(const std::filesystem::path& executable, Handlers handlers,
                   const std::filesystem::path& parent = {});
    // Refuses a pending request, stops, and removes the folder with everything in it.
    ~AskpassChannel();
    AskpassChannel(const AskpassChannel&) = delete;
    AskpassChannel& operator=(const AskpassChannel&) = delete;

    // The value for SUDO_ASKPASS.
    std::filesystem::path helperPath() const;
    const std::filesystem::path& folder() const;

    // The password for the request; with `keep`, it also answers later requests of this
    // run until one of them turns out to be a retry. Ignored when the request is no
    // longer pending.
    void answer(std::uint64_t number, SecretText password, bool keep);
    // No password: the helper fails, and so does sudo.
    void refuse(std::uint64_t number);
    // Forgets a kept password.
    void forget();

    // The name the helper link has, by which main() recognises the helper.
    static constexpr const char* helperName = "cairnmoor-askpass";

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace cairnmoor
