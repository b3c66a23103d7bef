#pragma once

#include "catalogue/Catalog.hpp"
#include "managers/PackageManager.hpp"

#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace cairnmoor {

// The user's choice of catalogue entries and the rules for making it: what a search shows,
// ticking an entry, a category or the recommended ones, and what the chosen manager can
// install of it. Only entries with a macOS record can be chosen. The derived lists are kept
// until one of their inputs changes; the pointers they hold stay valid until the catalogue
// is replaced. Not thread-safe.
class Selection {
public:
    // How far `entriesNamed` looks: every entry, or those with a macOS record only.
    enum class Scope { everyEntry, macOSEntries };

    Selection();
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    // The entries these identifiers name, in catalogue order (an identifier named twice
    // counts once). Throws PackageManagerError::invalidSelection naming the identifiers
    // that name none, sorted, each once: "Unknown catalogue IDs: a, b." (every entry) or
    // "Unknown or non-macOS catalogue IDs: a, b." (macOS entries).
    static std::vector<AppEntry> entriesNamed(const Catalog& catalog,
                                              const std::vector<std::string>& ids, Scope scope);

    // --- inputs; each setter returns whether anything changed ---
    // A new catalogue keeps the search, the manager and the chosen identifiers.
    void setCatalog(Catalog catalog);
    bool setSearch(const std::string& query);
    bool setManager(PackageManager manager);
    bool setIds(std::set<std::string> ids);

    const Catalog& catalog() const { return catalog_; }
    PackageManager manager() const { return manager_; }
    const std::set<std::string>& ids() const { return ids_; }

    // --- steps of the user, each one change of the identifiers ---
    bool toggle(const AppEntry& app);
    // Selecting takes the installable entries the search shows; deselecting, all it shows.
    bool setCategory(const std::string& category, bool selected);
    // Adds the installable recommended entries, search or not.
    bool addRecommended();

    // --- derived ---
    // The entries with a macOS record, in catalogue order.
    const std::vector<const AppEntry*>& macApps() const { return macApps_; }
    // The first macOS entry with this identifier; none when there is none.
    const AppEntry* find(const std::string& id) const;
    // The listed categories that have macOS entries, in the catalogue's order.
    const std::vector<std::string>& categories() const { return categories_; }
    // What the search shows of a category.
    const std::vector<const AppEntry*>& shown(const std::string& category) const;
    // The chosen entries in catalogue order, and those of them the manager cannot install.
    const std::vector<const AppEntry*>& entries() const;
    const std::vector<const AppEntry*>& unsupported() const;
    // true all eligible entries chosen, false none (or nothing eligible), none mixed. An
    // entry the manager cannot install counts while it is chosen, so it can be unticked.
    std::optional<bool> categoryState(const std::string& category) const;

    // Per entry, for the chosen manager: whether its box can be used (installable, or
    // chosen so it can be unticked), its package or "Not available via <manager>", and
    // "Select <name>" or "No verified <manager> mapping".
    bool checkEnabled(const AppEntry& app) const;
    std::string packageText(const AppEntry& app) const;
    std::string selectHelpText(const AppEntry& app) const;

private:
    bool installable(const AppEntry& app) const { return manager_.token(app).has_value(); }
    void searchDidChange();
    void forgetChosen();

    Catalog catalog_;
    std::string query_;
    PackageManager manager_;
    std::set<std::string> ids_;

    // Derived from the catalogue (pointers into its entries).
    std::vector<const AppEntry*> macApps_;
    std::unordered_map<std::string, const AppEntry*> macAppsById_; // first entry per id
    std::vector<std::string> categories_;
    // Derived from the catalogue and the search.
    std::unordered_map<std::string, std::vector<const AppEntry*>> shownByCategory_;
    // Derived from the identifiers (and the manager), made on first read.
    mutable std::optional<std::vector<const AppEntry*>> entries_;
    mutable std::optional<std::vector<const AppEntry*>> unsupported_;
    mutable std::unordered_map<std::string, std::optional<bool>> categoryStates_;
};

} // namespace cairnmoor
