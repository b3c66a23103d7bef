#pragma once

#include "catalogue/Catalog.hpp"
#include "platform/Bundle.hpp"
#include "platform/FileManager.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace cairnmoor::CatalogLoader {

inline constexpr const char* resourceBundleName = "Cairnmoor_CairnmoorCore.bundle";

// Told, in one sentence, why a replacement catalogue that exists was passed over, so
// that a user who mistyped theirs learns it.
using RejectionHandler = std::function<void(const std::string& explanation)>;

// The user's replacement catalogue wins when it can be read and decoded; otherwise the
// shipped one is loaded. The user's additions, when there are any, are then added to it.
// Throws CatalogError, or FileError when the shipped file is found but unreadable.
Catalog load(const FileManager& fileManager = FileManager::defaultManager(),
             const Bundle* bundle = nullptr, const RejectionHandler& onRejected = {});

// <Application Support>/Cairnmoor/catalog.json (home/Library/Application Support when
// the platform reports no Application Support folder).
std::filesystem::path externalOverrideURL(const FileManager& fileManager);
// The replacement, or none when it is missing, unreadable or invalid (then, for one that
// exists, `onRejected` hears why). Never throws.
std::optional<Catalog> loadExternalOverride(const FileManager& fileManager,
                                            const RejectionHandler& onRejected = {});
// <Application Support>/Cairnmoor/catalog.local.json, beside the replacement.
std::filesystem::path additionsURL(const FileManager& fileManager);
// `catalog` with the entries of the additions file after its own (and their categories and
// licences it lacks). Without a file, it is returned as it is; a file that cannot be read
// or decoded, or that repeats an id, is not used and `onRejected` hears why, naming the id.
Catalog withAdditions(Catalog catalog, const FileManager& fileManager,
                      const RejectionHandler& onRejected = {});
// The additions document: {"apps": [entries]} with optional "licences"; an entry's category
// that `base` lacks is added after its own.
// Throws DecodingError; an id that `base` or the file itself already has is one, naming it.
Catalog addedTo(Catalog base, std::string_view additions);
Catalog loadEmbedded(const Bundle* bundle = nullptr);
std::string loadEmbeddedData(const Bundle* bundle = nullptr);
// Throws CatalogError::decodeFailed carrying the DecodingError.
Catalog decode(std::string_view data);
// The JSON form: every required key, optional ones only when present.
std::string encode(const Catalog& catalog);

} // namespace cairnmoor::CatalogLoader
