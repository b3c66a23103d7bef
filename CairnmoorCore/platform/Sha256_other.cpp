#include "platform/Sha256.hpp"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

namespace cairnmoor::Sha256 {

std::string hexDigest(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
        1) {
        throw std::runtime_error("SHA-256 is not available");
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(hex[digest[i] >> 4]);
        text.push_back(hex[digest[i] & 0x0f]);
    }
    return text;
}

} // namespace cairnmoor::Sha256
