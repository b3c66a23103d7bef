#include "platform/Sha256.hpp"

#include <CommonCrypto/CommonDigest.h>
#include <algorithm>
#include <array>

namespace cairnmoor::Sha256 {

std::string hexDigest(std::string_view bytes) {
    std::array<unsigned char, CC_SHA256_DIGEST_LENGTH> digest{};
    CC_SHA256_CTX context;
    CC_SHA256_Init(&context);
    // CC_LONG is 32 bits: feed large inputs in pieces.
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const std::size_t piece = std::min<std::size_t>(rest.size(), 1u << 30);
        CC_SHA256_Update(&context, rest.data(), static_cast<CC_LONG>(piece));
        rest.remove_prefix(piece);
    }
    CC_SHA256_Final(digest.data(), &context);
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        text.push_back(hex[byte >> 4]);
        text.push_back(hex[byte & 0x0f]);
    }
    return text;
}

} // namespace cairnmoor::Sha256
