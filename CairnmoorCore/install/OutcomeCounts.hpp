#pragma once

#include "install/PackageState.hpp"

#include <array>
#include <cstddef>

namespace cairnmoor {

// How many packages of a run ended each way: the one count behind the command line's
// summary, the window's footer and the report's totals, so they never disagree.
class OutcomeCounts {
public:
    // `upgrade`: the package was planned as an upgrade, so "installed" means upgraded.
    void add(const PackageState& state, bool upgrade = false) {
        ++byKind_[static_cast<std::size_t>(state.kind)];
        upgraded_ += upgrade && state.kind == PackageState::Kind::installed ? 1 : 0;
        unfinished_ += state.isFinal() ? 0 : 1;
        ++total_;
    }

    int operator[](PackageState::Kind kind) const {
        return byKind_[static_cast<std::size_t>(kind)];
    }
    int total() const { return total_; }
    // Of the installed ones, those that were upgrades.
    int upgraded() const { return upgraded_; }
    // Pending, downloading or installing: the run did not reach them, or is still on them.
    int unfinished() const { return unfinished_; }
    // The app is on the Mac as asked: installed now, or already there.
    int present() const {
        using Kind = PackageState::Kind;
        return (*this)[Kind::installed] + (*this)[Kind::alreadyPresent] +
               (*this)[Kind::installedOutside];
    }

private:
    std::array<int, PackageState::kindCount> byKind_{};
    int upgraded_ = 0;
    int unfinished_ = 0;
    int total_ = 0;
};

} // namespace cairnmoor
