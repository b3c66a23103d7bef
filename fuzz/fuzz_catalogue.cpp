// Catalogue decoding: any bytes either decode or fail with CatalogError, and whatever
// decodes survives a round trip through its JSON form unchanged.
#include "catalogue/CatalogError.hpp"
#include "catalogue/CatalogLoader.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace cairnmoor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const Catalog catalog = CatalogLoader::decode(text);
        const Catalog again = CatalogLoader::decode(CatalogLoader::encode(catalog));
        if (!(again == catalog)) {
            __builtin_trap();
        }
        (void)catalog.macApps();
    } catch (const CatalogError&) {
    }
    return 0;
}
