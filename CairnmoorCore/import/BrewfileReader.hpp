#pragma once

#include "install/ProfilePackage.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// What a Brewfile asks for, as far as Cairnmoor can use it.
struct Brewfile {
    struct Tap {
        std::string name;     // "user/repo"
        bool trusted = false; // `trusted: true` was given
        std::size_t line = 0;

        bool operator==(const Tap&) const = default;
    };
    // A line (or a statement spread over lines, by its first line) that is not imported.
    struct Unusable {
        std::size_t line = 0; // from 1
        std::string text;     // the line as written, trimmed, shortened when long
        std::string reason;

        bool operator==(const Unusable&) const = default;
    };

    std::vector<ProfilePackage> packages; // formulae and casks, in file order
    std::vector<Tap> taps;
    std::vector<Unusable> unusable;
};

// Reads a Brewfile as data; nothing in it is ever run. `brew "name"`, `cask "name"` and
// `tap "user/repo"` with either quote style, their options (ignored, but for a tap's
// `trusted: true`), comments, and statements continued over lines are read. Every other
// line that is not blank or a comment (other entry kinds, Ruby conditions and blocks,
// names outside Homebrew's rule, broken lines) is listed in `unusable` with its line
// number. Never throws but for lack of memory.
namespace BrewfileReader {

Brewfile read(std::string_view text);

} // namespace BrewfileReader

} // namespace cairnmoor
