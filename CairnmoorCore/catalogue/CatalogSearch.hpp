#pragma once

#include "catalogue/AppEntry.hpp"

#include <string_view>
#include <vector>

namespace cairnmoor::CatalogSearch {

// True when the trimmed query is empty, or when the lower-cased query is a substring
// of the lower-cased name, id, Homebrew name, MacPorts name, category or summary.
bool matches(const AppEntry& entry, std::string_view query);
// The matching entries, in the order given.
std::vector<AppEntry> filter(const std::vector<AppEntry>& entries, std::string_view query);

// Full Unicode lower-case mapping, independent of the locale. Invalid UTF-8 sequences
// are kept byte for byte.
std::string lowercased(std::string_view text);
// Removes Unicode white space and line breaks from both ends.
std::string_view trimmed(std::string_view text);

} // namespace cairnmoor::CatalogSearch
