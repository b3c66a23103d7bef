#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace cairnmoor::process {

// Output without a line feed is delivered in pieces of at most this many bytes, so a
// child printing without line breaks cannot grow our buffer without bound.
constexpr std::size_t maxPiece = std::size_t{1} << 20;

// Splits a child's bytes into lines at line feeds and hands each one on, as UTF-8 (what
// is not becomes U+FFFD), a line longer than maxPiece in pieces cut between characters.
class LineSplitter {
public:
    using OutputHandler = std::function<void(const std::string& line)>;

    // The handler may be empty: the lines are then dropped.
    explicit LineSplitter(const OutputHandler& onOutput) : onOutput_(onOutput) {}

    void append(const char* data, std::size_t size);
    // The last line, which had no line feed.
    void finish();

private:
    void deliverLine(const char* data, std::size_t size);
    void deliver(const char* data, std::size_t size);

    const OutputHandler& onOutput_;
    std::string buffer_;
    std::size_t scanFrom_ = 0;
    std::string line_;
};

} // namespace cairnmoor::process
