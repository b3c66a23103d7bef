#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {

// What one line of `brew fetch` output says about the packages being fetched.
struct FetchNews {
    enum class Kind {
        started,      // these are downloading now, beside any others
        startedAlone, // this one is downloading now; those before it are done (one at a time)
        finished,     // done downloading, or given up on
    };

    Kind kind = Kind::started;
    // As they were passed to the fetch (tap-qualified ones too), in the line's order.
    std::vector<std::string> packages;

    bool operator==(const FetchNews&) const = default;
};

namespace FetchOutput {

// Reads a line of `brew fetch` output (either stream, coloured or not) for news about the
// fetched `packages`. Only lines that name a package tell: a download list ("==> Fetching
// downloads for: a, b and c"), one package's turn ("==> Fetching a") and
// one package's end ("✔︎ Cask a (1.2)", "✘ Bottle a (1.2)"). A URL, a bottle manifest or a
// dependency never does, nor a name that was not fetched. Pure.
std::optional<FetchNews> read(std::string_view line, const std::vector<std::string>& packages);

} // namespace FetchOutput

} // namespace cairnmoor
