#include "views/CairnmoorViewModel.hpp"

#include "catalogue/CatalogLoader.hpp"
#include "managers/PackageManagerLocator.hpp"
#include "platform/FileManager.hpp"
#include "platform/ProcessInfo.hpp"

#include <QUrl>

#include <algorithm>
#include <exception>
#include <utility>

namespace cairnmoor {

namespace {

const char* const refusalText = "Choose supported apps and an installed manager. MacPorts installs "
                                "must be started in Terminal.";

std::optional<std::string> locate(PackageManager manager) {
    return PackageManagerLocator::resolve(manager, FileManager::defaultManager(),
                                          ProcessInfo::environment());
}

} // namespace

CairnmoorViewModel::CairnmoorViewModel(QObject* parent)
    : CairnmoorViewModel(ManagerResolver(locate), Clock::steady(), parent) {}

CairnmoorViewModel::CairnmoorViewModel(ManagerResolver resolver, const Clock& clock,
                                       QObject* parent)
    : QObject(parent), resolver_(std::move(resolver)), options_(this), run_(clock, this),
      marks_(this), catalogueRowModel_(selection_, marks_, this),
      replaceConfirmation_(
          [this](std::optional<std::set<std::string>> approved) { beginRun(std::move(approved)); },
          [this](const std::string& error) { setLoadError("The install did not start: " + error); },
          this),
      carryOver_(CarryOver::Owner{[this]() -> const Catalog& { return selection_.catalog(); },
                                  [this]() { return options(); },
                                  [this](PackageManager manager) -> std::optional<std::string> {
                                      const auto found = managerPaths_.find(manager);
                                      return found == managerPaths_.end()
                                                 ? std::nullopt
                                                 : std::optional(found->second);
                                  },
                                  [this](const Profile& profile) { loadProfile(profile); }},
                 CarryOver::brewInfo(), this) {
    connect(&carryOver_, &CarryOver::packagesChanged, this, &CairnmoorViewModel::derivedChanged);
    connect(&marks_, &InstalledMarks::changed, &catalogueRowModel_,
            &CatalogueRowModel::refreshMarks);
    connect(&replaceConfirmation_, &ReplaceConfirmation::changed, this,
            &CairnmoorViewModel::derivedChanged);
    connect(&options_, &OptionsModel::managerChanged, this, [this]() {
        selection_.setManager(options().packageManager);
        catalogueRowModel_.refreshRowState();
        // The marks of the other manager no longer hold.
        refreshMarks();
    });
    connect(&options_, &OptionsModel::changed, this, [this]() {
        replaceConfirmation_.reset();
        Q_EMIT derivedChanged();
    });
    connect(&run_, &InstallRun::isRunningChanged, this, &CairnmoorViewModel::derivedChanged);
    // What the run installed is marked from a new inventory.
    connect(&run_, &InstallRun::runCompleted, this, &CairnmoorViewModel::refreshMarks);

    // A replacement catalogue that was passed over is named once, in the error line.
    std::string rejection;
    try {
        selection_.setCatalog(
            CatalogLoader::load(FileManager::defaultManager(), nullptr,
                                [&](const std::string& why) { rejection = why; }));
    } catch (const std::exception& error) {
        rejection += (rejection.empty() ? "" : " ") + std::string(error.what());
    }
    if (!rejection.empty()) {
        loadError_ = rejection;
    }
    catalogueRowModel_.rebuild();
    // Also takes the first inventory, where a manager was found.
    refreshManagers();
}

// ---------------------------------------------------------------- the choice

void CairnmoorViewModel::setSearchText(const QString& text) {
    if (text == searchText_) {
        return;
    }
    searchText_ = text;
    selection_.setSearch(text.toStdString());
    Q_EMIT searchTextChanged();
    catalogueRowModel_.rebuild();
    Q_EMIT derivedChanged();
}

void CairnmoorViewModel::setSelectedIds(std::set<std::string> ids) {
    selectionDidChange(selection_.setIds(std::move(ids)));
}

void CairnmoorViewModel::selectionDidChange(bool changed) {
    if (!changed) {
        return;
    }
    replaceConfirmation_.reset();
    Q_EMIT selectedIdsChanged();
    catalogueRowModel_.refreshRowState();
    Q_EMIT derivedChanged();
}

std::vector<AppEntry> CairnmoorViewModel::selectedApps() const {
    std::vector<AppEntry> result;
    result.reserve(selection_.entries().size());
    for (const AppEntry* app : selection_.entries()) {
        result.push_back(*app);
    }
    // Packages beyond the catalogue run after its apps, as in a profile.
    for (AppEntry& entry : carryOver_.entries()) {
        result.push_back(std::move(entry));
    }
    return result;
}

std::optional<bool> CairnmoorViewModel::categorySelectionState(const std::string& category) const {
    return selection_.categoryState(category);
}

void CairnmoorViewModel::toggle(const QString& id) {
    if (const AppEntry* app = selection_.find(id.toStdString())) {
        selectionDidChange(selection_.toggle(*app));
    }
}

void CairnmoorViewModel::setCategory(const QString& category, bool selected) {
    selectionDidChange(selection_.setCategory(category.toStdString(), selected));
}

void CairnmoorViewModel::selectRecommended() {
    selectionDidChange(selection_.addRecommended());
}

void CairnmoorViewModel::clearSelection() {
    setSelectedIds({});
}

// ---------------------------------------------------------------- profiles

Profile CairnmoorViewModel::currentProfile() const {
    Profile profile;
    profile.schema = 2;
    profile.created = Profile::iso8601Now();
    for (const AppEntry* app : selection_.entries()) {
        profile.apps.push_back(app->id);
    }
    profile.options = options();
    profile.packages = carryOver_.packages();
    return profile;
}

void CairnmoorViewModel::loadProfile(const Profile& profile) {
    std::set<std::string> ids;
    for (const AppEntry& app : Selection::entriesNamed(selection_.catalog(), profile.apps,
                                                       Selection::Scope::macOSEntries)) {
        ids.insert(app.id);
    }
    setSelectedIds(std::move(ids));
    options_.set(profile.options);
    carryOver_.setPackages(profile.packages);
}

QString CairnmoorViewModel::loadProfileFile(const QString& path) {
    const QUrl url(path);
    const QString local = url.isLocalFile() ? url.toLocalFile() : path;
    try {
        loadProfile(Profile::load(std::filesystem::path(local.toStdString())));
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

// ---------------------------------------------------------------- options and managers

std::optional<std::string> CairnmoorViewModel::managerPath() const {
    const auto found = managerPaths_.find(options().packageManager);
    if (found == managerPaths_.end()) {
        return std::nullopt;
    }
    return found->second;
}

QString CairnmoorViewModel::managerStatusText() const {
    const PackageManager manager = options().packageManager;
    if (const auto path = managerPath()) {
        return QString::fromStdString(std::string(manager.executableName()) + ": " + *path);
    }
    return manager == PackageManager::homebrew ? QStringLiteral("Homebrew not found")
                                               : QStringLiteral("MacPorts missing or not trusted");
}

void CairnmoorViewModel::refreshManagers() {
    std::map<PackageManager, std::string> paths;
    for (const PackageManager manager : PackageManager::allCases) {
        if (auto path = resolver_(manager)) {
            paths.emplace(manager, std::move(*path));
        }
    }
    const std::optional<std::string> before = managerPath();
    managerPaths_ = std::move(paths);
    if (managerPath() != before) {
        refreshMarks();
    }
    Q_EMIT derivedChanged();
}

void CairnmoorViewModel::refreshMarks() {
    if (const std::optional<std::string> path = managerPath()) {
        marks_.refresh(selection_.macApps(), options().packageManager, options().timeoutSeconds,
                       *path);
    } else {
        marks_.clear();
    }
}

// ---------------------------------------------------------------- the run

bool CairnmoorViewModel::canInstall() const {
    return hasChoice() && allSupported() && managerPath() && !run_.isRunning() &&
           !replaceConfirmation_.checking() && replaceConfirmation_.question().isEmpty();
}

bool CairnmoorViewModel::startInstall() {
    const std::optional<std::string> path = managerPath();
    if (!canInstall() || !path || options().packageManager != PackageManager::homebrew) {
        setLoadError(refusalText);
        return false;
    }
    if (options().existingApps == ExistingApps::replace) {
        replaceConfirmation_.check(selectedApps(), options(), *path);
        return true;
    }
    beginRun(std::set<std::string>());
    return true;
}

void CairnmoorViewModel::beginRun(std::optional<std::set<std::string>> approved) {
    const std::optional<std::string> path = managerPath();
    if (!canInstall() || !path) {
        setLoadError(refusalText);
        return;
    }
    // None approved at all: the apps found outside Homebrew stay as they are this time.
    InstallOptions runOptions = options();
    if (!approved) {
        runOptions.existingApps = ExistingApps::skip;
    }
    run_.begin(selectedApps(), runOptions, *path, approved.value_or(std::set<std::string>()));
}

// ---------------------------------------------------------------- the rest

bool CairnmoorViewModel::hasChoice() const {
    return !selection_.entries().empty() || carryOver_.count() > 0;
}

bool CairnmoorViewModel::allSupported() const {
    const auto others = [this](const ProfilePackage& package) {
        return package.manager() != options().packageManager;
    };
    return selection_.unsupported().empty() &&
           std::none_of(carryOver_.packages().begin(), carryOver_.packages().end(), others);
}

void CairnmoorViewModel::setLoadError(std::string text) {
    loadError_ = std::move(text);
    Q_EMIT loadErrorChanged();
}

QString CairnmoorViewModel::loadErrorText() const {
    return loadError_ ? QString::fromStdString(*loadError_) : QString();
}

QString CairnmoorViewModel::unsupportedWarningText() const {
    const auto count = selection_.unsupported().size();
    if (count == 0) {
        return {};
    }
    const bool one = count == 1;
    return QStringLiteral("%1 selected %2 no %3 mapping. Deselect %4 or switch manager; %5 will "
                          "not be silently omitted.")
        .arg(QString::number(count), one ? QStringLiteral("app has") : QStringLiteral("apps have"),
             options_.managerDisplayName(), one ? QStringLiteral("it") : QStringLiteral("them"),
             one ? QStringLiteral("it") : QStringLiteral("they"));
}

bool CairnmoorViewModel::canExportScript() const {
    return hasChoice() && allSupported();
}

bool CairnmoorViewModel::canExportBrewfile() const {
    return options().packageManager == PackageManager::homebrew && hasChoice();
}

} // namespace cairnmoor
