#pragma once

#include <stdexcept>
#include <string>

namespace cairnmoor {

class CatalogError : public std::runtime_error {
public:
    enum class Kind { decodeFailed, embeddedResourceMissing };

    // The shipped catalogue could not be decoded; carries the decoder's description.
    static CatalogError decodeFailed(const std::exception& underlying) {
        return CatalogError(Kind::decodeFailed,
                            std::string("The catalogue could not be parsed: ") + underlying.what());
    }
    static CatalogError embeddedResourceMissing() {
        return CatalogError(Kind::embeddedResourceMissing,
                            "The embedded catalogue resource is missing from the app bundle.");
    }

    Kind kind() const noexcept { return kind_; }

private:
    CatalogError(Kind kind, const std::string& description)
        : std::runtime_error(description), kind_(kind) {}

    Kind kind_;
};

} // namespace cairnmoor
