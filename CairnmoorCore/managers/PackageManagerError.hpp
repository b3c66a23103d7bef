#pragma once

#include <stdexcept>
#include <string>

namespace cairnmoor {

// A manager-related failure; the carried text is what the user is shown, unchanged.
class PackageManagerError : public std::runtime_error {
public:
    enum class Kind { invalidSelection, commandFailed };

    static PackageManagerError invalidSelection(const std::string& text) {
        return PackageManagerError(Kind::invalidSelection, text);
    }
    static PackageManagerError commandFailed(const std::string& text) {
        return PackageManagerError(Kind::commandFailed, text);
    }

    Kind kind() const noexcept { return kind_; }
    // The whole text; what() ends at the first NUL a catalogue's name may carry.
    const std::string& text() const noexcept { return text_; }

private:
    PackageManagerError(Kind kind, const std::string& text)
        : std::runtime_error(text), kind_(kind), text_(text) {}

    Kind kind_;
    std::string text_;
};

} // namespace cairnmoor
