#pragma once

#include "catalogue/Catalog.hpp"
#include "platform/Bundle.hpp"
#include "platform/FileManager.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cairnmoor::CatalogLoader {

inline constexpr const char* resourceBundleName = "Cairnmoor_CairnmoorCore.bundle";

// The user's replacement catalogue wins when it can be read and decoded; otherwise the
// shipped one is loaded. Throws CatalogError, or FileError when the shipped file is
// found but unreadable.
Catalog load(const FileManager& fileManager = FileManager::defaultManager(),
             const Bundle* bundle = nullptr);

// <Application Support>/Cairnmoor/catalog.json (home/Library/Application Support when
// the platform reports no Application Support folder).
std::filesystem::path externalOverrideURL(const FileManager& fileManager);
// The replacement, or none when it is missing, unreadable or invalid. Never throws.
std::optional<Catalog> loadExternalOverride(const FileManager& fileManager);
Catalog loadEmbedded(const Bundle* bundle = nullptr);
std::string loadEmbeddedData(const Bundle* bundle = nullptr);
// Throws CatalogError::decodeFailed carrying the DecodingError.
Catalog decode(std::string_view data);
// The JSON form: every required key, optional ones only when present.
std::string encode(const Catalog& catalog);

} // namespace cairnmoor::CatalogLoader
