#pragma once

#include <cstddef>
#include <string>

// UTF-8 as the rest of the program takes it: well-formed is what Unicode allows (no
// overlong forms, no surrogates, nothing above U+10FFFF); anything else is shown as
// U+FFFD, so that nothing a file or a child gave us disappears without a trace.
namespace cairnmoor::Utf8 {

// How many bytes at `p` belong to one well-formed character (`valid` true), or, when
// it is not one, to the longest start of one, which is replaced as a whole: at least 1.
std::size_t characterLength(const unsigned char* p, const unsigned char* end, bool& valid);
bool isValid(const unsigned char* p, std::size_t size);
// `out` becomes the text with every ill-formed part replaced by U+FFFD.
void assignRepaired(std::string& out, const unsigned char* p, std::size_t size);

} // namespace cairnmoor::Utf8
