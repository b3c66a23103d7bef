#include "platform/CodeSignature.hpp"

namespace cairnmoor::CodeSignature {

Info inspect(const std::filesystem::path&) {
    return Info{};
}

} // namespace cairnmoor::CodeSignature
