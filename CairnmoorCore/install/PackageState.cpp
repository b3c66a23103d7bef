#include "install/PackageState.hpp"

namespace cairnmoor {

std::string_view PackageState::caseName() const {
    switch (kind) {
    case Kind::failed:
        return "failed";
    case Kind::pending:
        return "pending";
    case Kind::installing:
        return "installing";
    case Kind::installed:
        return "installed";
    case Kind::alreadyPresent:
        return "alreadyPresent";
    case Kind::skipped:
        return "skipped";
    case Kind::installedOutside:
        return "installedOutside";
    case Kind::downloading:
        return "downloading";
    case Kind::skippedRunning:
        return "skippedRunning";
    }
    return "pending";
}

} // namespace cairnmoor
