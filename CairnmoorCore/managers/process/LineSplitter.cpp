#include "managers/process/LineSplitter.hpp"

#include "platform/Utf8.hpp"

#include <cstring>

namespace cairnmoor::process {
namespace {

// The length of the next piece of an over-long line: at most maxPiece bytes, shortened
// so that the cut does not fall inside a UTF-8 sequence.
std::size_t pieceLength(const char* data, std::size_t size) {
    if (size <= maxPiece) {
        return size;
    }
    std::size_t cut = maxPiece;
    for (int back = 0; back < 3 && (static_cast<unsigned char>(data[cut]) & 0xC0) == 0x80; ++back) {
        --cut;
    }
    // Not a character boundary within reach: the bytes are not UTF-8 anyway.
    if ((static_cast<unsigned char>(data[cut]) & 0xC0) == 0x80) {
        cut = maxPiece;
    }
    return cut;
}

} // namespace

void LineSplitter::append(const char* data, std::size_t size) {
    buffer_.append(data, size);
    std::size_t start = 0;
    for (;;) {
        const void* found =
            std::memchr(buffer_.data() + scanFrom_, '\n', buffer_.size() - scanFrom_);
        if (found == nullptr) {
            break;
        }
        const std::size_t end = static_cast<const char*>(found) - buffer_.data();
        deliverLine(buffer_.data() + start, end - start);
        start = end + 1;
        scanFrom_ = start;
    }
    while (buffer_.size() - start > maxPiece) {
        const std::size_t length = pieceLength(buffer_.data() + start, buffer_.size() - start);
        deliver(buffer_.data() + start, length);
        start += length;
    }
    buffer_.erase(0, start);
    scanFrom_ = buffer_.size();
}

void LineSplitter::finish() {
    if (!buffer_.empty()) {
        deliverLine(buffer_.data(), buffer_.size());
    }
    buffer_.clear();
    scanFrom_ = 0;
}

void LineSplitter::deliverLine(const char* data, std::size_t size) {
    while (size > maxPiece) {
        const std::size_t length = pieceLength(data, size);
        deliver(data, length);
        data += length;
        size -= length;
    }
    deliver(data, size);
}

void LineSplitter::deliver(const char* data, std::size_t size) {
    if (!onOutput_) {
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (Utf8::isValid(bytes, size)) {
        line_.assign(data, size);
    } else {
        Utf8::assignRepaired(line_, bytes, size);
    }
    onOutput_(line_);
}

} // namespace cairnmoor::process
