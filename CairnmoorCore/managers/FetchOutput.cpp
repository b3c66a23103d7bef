#include "managers/FetchOutput.hpp"

#include "managers/CaskInfo.hpp"

#include <algorithm>

namespace cairnmoor::FetchOutput {

namespace {

// The line without terminal control sequences (ESC '[' ... final byte): Homebrew colours
// its output when HOMEBREW_COLOR is set, even into a pipe.
std::string withoutEscapes(std::string_view line) {
    std::string text;
    text.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
            for (i += 2; i < line.size() && (line[i] < 0x40 || line[i] > 0x7e); ++i) {
            }
            continue;
        }
        text += line[i];
    }
    return text;
}

bool consume(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

// The fetched package a printed name stands for: Homebrew prints a tap-qualified one by its
// short name.
const std::string* fetched(std::string_view printed, const std::vector<std::string>& packages) {
    for (const std::string& package : packages) {
        if (package == printed || CaskInfoReading::shortName(package) == printed) {
            return &package;
        }
    }
    return nullptr;
}

// "a, b and c": the fetched packages among the words.
std::optional<FetchNews> list(std::string_view text, const std::vector<std::string>& packages) {
    FetchNews news{FetchNews::Kind::started, {}};
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        std::string_view word = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (word.ends_with(',')) {
            word.remove_suffix(1);
        }
        if (const std::string* package = fetched(word, packages)) {
            news.packages.push_back(*package);
        }
    }
    return news.packages.empty() ? std::nullopt : std::optional(std::move(news));
}

} // namespace

std::optional<FetchNews> read(std::string_view line, const std::vector<std::string>& packages) {
    const std::string clean = withoutEscapes(line);
    std::string_view text = clean;
    if (consume(text, "==> Fetching downloads for: ")) {
        return list(text, packages);
    }
    if (consume(text, "==> Fetching ")) {
        const std::string* package =
            text.find(' ') == std::string_view::npos ? fetched(text, packages) : nullptr;
        return package ? std::optional(FetchNews{FetchNews::Kind::startedAlone, {*package}})
                       : std::nullopt;
    }
    // A finished download: its mark (with or without the text-style selector), its kind, its
    // name and, after a space, its version and progress.
    if (!consume(text, "\u2714") && !consume(text, "\u2718")) {
        return std::nullopt;
    }
    consume(text, "\uFE0E");
    if (!consume(text, " Cask ") && !consume(text, " Bottle ") && !consume(text, " Formula ")) {
        return std::nullopt;
    }
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string* package = fetched(text.substr(0, end), packages);
    if (!package || !(end == text.size() || text.substr(end).starts_with(" ("))) {
        return std::nullopt;
    }
    return FetchNews{FetchNews::Kind::finished, {*package}};
}

} // namespace cairnmoor::FetchOutput
