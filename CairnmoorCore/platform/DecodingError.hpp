#pragma once

#include <stdexcept>
#include <string>

namespace cairnmoor {

// A JSON document that does not have the expected form. Users see only the general
// message; the detail (which key, why) is kept for tests and debugging.
class DecodingError : public std::runtime_error {
public:
    static constexpr const char* userMessage =
        "The data couldn\u2019t be read because it isn\u2019t in the correct format.";

    explicit DecodingError(std::string debugDescription)
        : std::runtime_error(userMessage), debugDescription_(std::move(debugDescription)) {}

    // Decoding ran out of memory: the document is not at fault, and the user is told so.
    static DecodingError outOfMemory() {
        return DecodingError("There is not enough memory to read the document.",
                             "Allocation failed while decoding.");
    }

    // A fault the user can mend only when told where it is: the message says it.
    static DecodingError naming(const std::string& description) {
        return DecodingError(description.c_str(), description);
    }

    const std::string& debugDescription() const noexcept { return debugDescription_; }

private:
    DecodingError(const char* message, std::string debugDescription)
        : std::runtime_error(message), debugDescription_(std::move(debugDescription)) {}

    std::string debugDescription_;
};

} // namespace cairnmoor
