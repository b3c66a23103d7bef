#include "install/Selection.hpp"

#include "catalogue/CatalogSearch.hpp"
#include "managers/PackageManagerError.hpp"

#include <string_view>
#include <utility>

namespace cairnmoor {

std::vector<AppEntry> Selection::entriesNamed(const Catalog& catalog,
                                              const std::vector<std::string>& ids, Scope scope) {
    const std::set<std::string> wanted(ids.begin(), ids.end());
    std::set<std::string> unknown = wanted; // sorted, each named once
    std::vector<AppEntry> named;
    for (const AppEntry& entry : catalog.apps) {
        if (wanted.contains(entry.id) && (scope == Scope::everyEntry || entry.macos)) {
            named.push_back(entry);
            unknown.erase(entry.id);
        }
    }
    if (!unknown.empty()) {
        std::string list;
        for (const std::string& id : unknown) {
            list += (list.empty() ? "" : ", ") + id;
        }
        throw PackageManagerError::invalidSelection((scope == Scope::everyEntry
                                                         ? "Unknown catalogue IDs: "
                                                         : "Unknown or non-macOS catalogue IDs: ") +
                                                    list + ".");
    }
    return named;
}

Selection::Selection() {
    setCatalog(Catalog::empty());
}

void Selection::setCatalog(Catalog catalog) {
    catalog_ = std::move(catalog);
    macApps_.clear();
    macAppsById_.clear();
    std::set<std::string_view> used;
    for (const AppEntry& app : catalog_.apps) {
        if (app.macos) {
            macApps_.push_back(&app);
            macAppsById_.emplace(app.id, &app);
            used.insert(app.category);
        }
    }
    categories_.clear();
    for (const std::string& category : catalog_.categories) {
        if (used.contains(category)) {
            categories_.push_back(category);
        }
    }
    searchDidChange();
    forgetChosen();
}

bool Selection::setSearch(const std::string& query) {
    if (query == query_) {
        return false;
    }
    query_ = query;
    searchDidChange();
    return true;
}

void Selection::searchDidChange() {
    shownByCategory_.clear();
    const bool all = CatalogSearch::trimmed(query_).empty();
    for (const AppEntry* app : macApps_) {
        if (all || CatalogSearch::matches(*app, query_)) {
            shownByCategory_[app->category].push_back(app);
        }
    }
    categoryStates_.clear();
}

bool Selection::setManager(PackageManager manager) {
    if (manager == manager_) {
        return false;
    }
    manager_ = manager;
    forgetChosen();
    return true;
}

bool Selection::setIds(std::set<std::string> ids) {
    if (ids == ids_) {
        return false;
    }
    ids_ = std::move(ids);
    forgetChosen();
    return true;
}

void Selection::forgetChosen() {
    entries_.reset();
    unsupported_.reset();
    categoryStates_.clear();
}

bool Selection::toggle(const AppEntry& app) {
    std::set<std::string> ids = ids_;
    if (!ids.erase(app.id)) {
        ids.insert(app.id);
    }
    return setIds(std::move(ids));
}

bool Selection::setCategory(const std::string& category, bool selected) {
    std::set<std::string> ids = ids_;
    for (const AppEntry* app : shown(category)) {
        if (!selected) {
            ids.erase(app->id);
        } else if (installable(*app)) {
            ids.insert(app->id);
        }
    }
    return setIds(std::move(ids));
}

bool Selection::addRecommended() {
    std::set<std::string> ids = ids_;
    for (const AppEntry* app : macApps_) {
        if (app->isRecommended() && installable(*app)) {
            ids.insert(app->id);
        }
    }
    return setIds(std::move(ids));
}

const AppEntry* Selection::find(const std::string& id) const {
    const auto found = macAppsById_.find(id);
    return found == macAppsById_.end() ? nullptr : found->second;
}

const std::vector<const AppEntry*>& Selection::shown(const std::string& category) const {
    static const std::vector<const AppEntry*> none;
    const auto found = shownByCategory_.find(category);
    return found == shownByCategory_.end() ? none : found->second;
}

const std::vector<const AppEntry*>& Selection::entries() const {
    if (!entries_) {
        std::vector<const AppEntry*> result;
        if (!ids_.empty()) {
            for (const AppEntry* app : macApps_) {
                if (ids_.contains(app->id)) {
                    result.push_back(app);
                }
            }
        }
        entries_ = std::move(result);
    }
    return *entries_;
}

const std::vector<const AppEntry*>& Selection::unsupported() const {
    if (!unsupported_) {
        std::vector<const AppEntry*> result;
        for (const AppEntry* app : entries()) {
            if (!installable(*app)) {
                result.push_back(app);
            }
        }
        unsupported_ = std::move(result);
    }
    return *unsupported_;
}

std::optional<bool> Selection::categoryState(const std::string& category) const {
    if (const auto known = categoryStates_.find(category); known != categoryStates_.end()) {
        return known->second;
    }
    std::size_t eligible = 0;
    std::size_t chosen = 0;
    for (const AppEntry* app : shown(category)) {
        const bool isChosen = ids_.contains(app->id);
        if (isChosen || installable(*app)) {
            ++eligible;
            chosen += isChosen ? 1 : 0;
        }
    }
    std::optional<bool> state = std::nullopt;
    if (eligible == 0 || chosen == 0) {
        state = false;
    } else if (chosen == eligible) {
        state = true;
    }
    categoryStates_.emplace(category, state);
    return state;
}

bool Selection::checkEnabled(const AppEntry& app) const {
    return installable(app) || ids_.contains(app.id);
}

std::string Selection::packageText(const AppEntry& app) const {
    if (auto token = manager_.token(app)) {
        return *token;
    }
    return "Not available via " + std::string(manager_.displayName());
}

std::string Selection::selectHelpText(const AppEntry& app) const {
    if (installable(app)) {
        return "Select " + app.name;
    }
    return "No verified " + std::string(manager_.displayName()) + " mapping";
}

} // namespace cairnmoor
