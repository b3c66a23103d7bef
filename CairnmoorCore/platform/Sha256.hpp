#pragma once

#include <string>
#include <string_view>

namespace cairnmoor::Sha256 {

// SHA-256 (FIPS 180-4) of the bytes, as 64 lower-case hexadecimal digits.
std::string hexDigest(std::string_view bytes);

} // namespace cairnmoor::Sha256
