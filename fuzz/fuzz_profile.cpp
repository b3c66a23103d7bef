// Profile decoding: any bytes either decode or fail with DecodingError; a decoded
// profile keeps a positive timeout and survives writing and reading back.
#include "install/Profile.hpp"
#include "platform/DecodingError.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace cairnmoor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const Profile profile = Profile::decode(text);
        if (profile.options.timeoutSeconds < 1) {
            __builtin_trap();
        }
        if (!(Profile::decode(profile.toData()) == profile)) {
            __builtin_trap();
        }
    } catch (const DecodingError&) {
    }
    return 0;
}
