#pragma once

#include <cstddef>
#include <string_view>

namespace cairnmoor {

// Text that must not outlive its use (a password): one buffer of its own, never copied,
// overwritten with zeros when cleared, moved from or destroyed.
class SecretText {
public:
    SecretText() = default;
    explicit SecretText(std::string_view text) { assign(text); }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    SecretText(SecretText&& other) noexcept;
    SecretText& operator=(SecretText&& other) noexcept;
    ~SecretText() { clear(); }

    // Replaces the text; the old one is wiped first.
    void assign(std::string_view text);
    // Adds to the end; the old buffer, if it had to grow, is wiped.
    void append(std::string_view text);
    void clear() noexcept;

    std::string_view view() const noexcept { return {data_, size_}; }
    bool empty() const noexcept { return size_ == 0; }
    std::size_t size() const noexcept { return size_; }

    // Overwrites memory with zeros in a way the compiler may not leave out.
    static void wipe(void* data, std::size_t size) noexcept;

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace cairnmoor
