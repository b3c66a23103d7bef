#pragma once

#include "managers/PackageManager.hpp"

#include <ostream>
#include <string>
#include <string_view>

namespace cairnmoor::testing {

// Text made safe for a test's name: letters, digits and ._-+@/ stay, every other byte
// becomes %XX; empty text is "empty". Parameter printers use it so that test names stay
// readable and the same from build to build.
std::string testNameText(std::string_view text);

} // namespace cairnmoor::testing

namespace cairnmoor {

// Parameterised tests over managers print "homebrew" / "macports".
inline void PrintTo(PackageManager manager, std::ostream* os) {
    *os << manager.rawValue();
}

} // namespace cairnmoor
