#include "platform/SecretText.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace cairnmoor {

void SecretText::wipe(void* data, std::size_t size) noexcept {
    // A write through a volatile pointer is a side effect the optimiser must keep, even
    // for memory about to be freed.
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = 0;
    }
}

SecretText::SecretText(SecretText&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
    if (this != &other) {
        clear();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

void SecretText::assign(std::string_view text) {
    clear();
    append(text);
}

void SecretText::append(std::string_view text) {
    if (size_ + text.size() > capacity_) {
        const std::size_t capacity = std::max<std::size_t>(64, 2 * (size_ + text.size()));
        char* grown = new char[capacity];
        if (size_ > 0) {
            std::memcpy(grown, data_, size_);
        }
        wipe(data_, capacity_);
        delete[] data_;
        data_ = grown;
        capacity_ = capacity;
    }
    if (!text.empty()) {
        std::memcpy(data_ + size_, text.data(), text.size());
    }
    size_ += text.size();
}

void SecretText::clear() noexcept {
    wipe(data_, capacity_);
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

} // namespace cairnmoor
