#include "views/CairnmoorViewModel.hpp"

#include "catalogue/CatalogLoader.hpp"
#include "catalogue/CatalogSearch.hpp"
#include "install/InstallEngine.hpp"
#include "install/InstallLog.hpp"
#include "managers/PackageManagerError.hpp"
#include "managers/PackageManagerLocator.hpp"
#include "platform/FileManager.hpp"
#include "platform/ProcessInfo.hpp"
#include "views/RunProgressState.hpp"

#include <QMetaObject>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <mutex>
#include <string_view>
#include <utility>

namespace cairnmoor {

namespace {

// About one frame.
constexpr qint64 logFlushInterval = 16;

const char* const refusalText = "Choose supported apps and an installed manager. MacPorts installs "
                                "must be started in Terminal.";

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<std::string> locate(PackageManager manager) {
    return PackageManagerLocator::resolve(manager, FileManager::defaultManager(),
                                          ProcessInfo::environment());
}

// Whole text as a base-10 integer with an optional sign: digits only, no spaces, no
// overflow.
std::optional<std::int64_t> parseWholeNumber(const std::string& text) {
    std::size_t position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    if (position == text.size()) {
        return std::nullopt;
    }
    // Accumulate negatively so that the most negative value still fits.
    std::int64_t value = 0;
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (; position < text.size(); ++position) {
        const char c = text[position];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const int digit = c - '0';
        if (value < (lowest + digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == lowest) {
            return std::nullopt;
        }
        value = -value;
    }
    return value;
}

std::vector<AppEntry> copies(const std::vector<const AppEntry*>& entries) {
    std::vector<AppEntry> result;
    result.reserve(entries.size());
    for (const AppEntry* app : entries) {
        result.push_back(*app);
    }
    return result;
}

} // namespace

// Log lines waiting for the UI thread. The engine's threads append; the UI takes the
// whole batch in one flush. At most one flush is posted at a time, so a flood of lines
// costs the UI thread one event per batch, not one per line.
struct CairnmoorViewModel::LogBuffer {
    std::mutex mutex;
    std::vector<QString> pending;
    bool flushPosted = false;
};

CairnmoorViewModel::CairnmoorViewModel(QObject* parent)
    : CairnmoorViewModel(ManagerResolver(locate), parent) {}

CairnmoorViewModel::CairnmoorViewModel(ManagerResolver resolver, QObject* parent)
    : QObject(parent), resolver_(std::move(resolver)), catalogueRowModel_(*this, this),
      runRowModel_(this), logLineModel_(this), marks_(this),
      replaceConfirmation_(
          [this](std::set<std::string> confirmed) { beginRun(std::move(confirmed)); },
          [this](const std::string& error) { setLoadError("The install did not start: " + error); },
          this) {
    connect(&marks_, &InstalledMarks::changed, &catalogueRowModel_,
            &CatalogueRowModel::refreshMarks);
    connect(&replaceConfirmation_, &ReplaceConfirmation::changed, this,
            &CairnmoorViewModel::derivedChanged);
    logFlushTimer_.setSingleShot(true);
    logFlushTimer_.setTimerType(Qt::PreciseTimer);
    connect(&logFlushTimer_, &QTimer::timeout, this, [this]() {
        if (const std::shared_ptr<LogBuffer> buffer = std::move(delayedFlush_)) {
            flushLog(*buffer);
        }
    });
    // A replacement catalogue that was passed over is named once, in the error line.
    std::string rejection;
    try {
        catalog_ = CatalogLoader::load(FileManager::defaultManager(), nullptr,
                                       [&](const std::string& why) { rejection = why; });
    } catch (const std::exception& error) {
        catalog_ = Catalog::empty();
        rejection += (rejection.empty() ? "" : " ") + std::string(error.what());
    }
    if (!rejection.empty()) {
        loadError_ = rejection;
    }
    catalogDidChange();
    // Also takes the first inventory, where a manager was found.
    refreshManagers();
}

CairnmoorViewModel::~CairnmoorViewModel() {
    // The worker posts to this object; it must be gone before the object is. Stopping
    // the run is what ending the window would do to it anyway (its output pipe closes).
    if (isRunning_ && engine_) {
        engine_->cancel();
    }
    joinRunThreads();
}

void CairnmoorViewModel::joinRunThreads() {
    if (runTask_.joinable()) {
        runTask_.join();
    }
    for (std::thread& task : cancelTasks_) {
        if (task.joinable()) {
            task.join();
        }
    }
    cancelTasks_.clear();
}

// ---------------------------------------------------------------- stored state

void CairnmoorViewModel::setSearchText(const QString& text) {
    if (text == searchText_) {
        return;
    }
    searchText_ = text;
    searchDidChange();
    Q_EMIT searchTextChanged();
    catalogueRowModel_.rebuild();
    Q_EMIT derivedChanged();
}

void CairnmoorViewModel::setSelectedIds(std::set<std::string> ids) {
    if (ids == selectedIds_) {
        return;
    }
    selectedIds_ = std::move(ids);
    replaceConfirmation_.reset();
    selectionDidChange();
}

void CairnmoorViewModel::selectionDidChange() {
    forgetSelectionDerived();
    Q_EMIT selectedIdsChanged();
    catalogueRowModel_.refreshRowState();
    Q_EMIT derivedChanged();
}

void CairnmoorViewModel::setOptions(const InstallOptions& options) {
    if (options == options_) {
        return;
    }
    const bool managerChanges = options.packageManager != options_.packageManager;
    options_ = options;
    replaceConfirmation_.reset();
    if (managerChanges) {
        forgetSelectionDerived();
    }
    Q_EMIT optionsChanged();
    if (managerChanges) {
        catalogueRowModel_.refreshRowState();
        // The marks of the other manager no longer hold.
        refreshMarks();
    }
    Q_EMIT derivedChanged();
}

void CairnmoorViewModel::setLoadError(std::string text) {
    loadError_ = std::move(text);
    Q_EMIT loadErrorChanged();
}

void CairnmoorViewModel::setIsRunning(bool value) {
    isRunning_ = value;
    Q_EMIT isRunningChanged();
    Q_EMIT derivedChanged();
}

void CairnmoorViewModel::setRunFinished(bool value) {
    runFinished_ = value;
    Q_EMIT runFinishedChanged();
}

void CairnmoorViewModel::setOverallProgress(double value) {
    overallProgress_ = value;
    Q_EMIT overallProgressChanged();
}

// ---------------------------------------------------------------- derived values

void CairnmoorViewModel::catalogDidChange() {
    macApps_.clear();
    macAppsById_.clear();
    for (const AppEntry& app : catalog_.apps) {
        if (app.macos) {
            macApps_.push_back(&app);
            macAppsById_.emplace(app.id, &app);
        }
    }
    std::set<std::string_view> used;
    for (const AppEntry* app : macApps_) {
        used.insert(app->category);
    }
    categories_.clear();
    for (const std::string& category : catalog_.categories) {
        if (used.contains(category)) {
            categories_.push_back(category);
        }
    }
    searchDidChange();
    forgetSelectionDerived();
    catalogueRowModel_.rebuild();
}

void CairnmoorViewModel::searchDidChange() {
    shown_.clear();
    shownByCategory_.clear();
    const std::string query = searchText_.toStdString();
    if (CatalogSearch::trimmed(query).empty()) {
        shown_ = macApps_;
    } else {
        for (const AppEntry* app : macApps_) {
            if (CatalogSearch::matches(*app, query)) {
                shown_.push_back(app);
            }
        }
    }
    for (const AppEntry* app : shown_) {
        shownByCategory_[app->category].push_back(app);
    }
    categoryStates_.clear();
}

void CairnmoorViewModel::forgetSelectionDerived() {
    selected_.reset();
    unsupported_.reset();
    categoryStates_.clear();
}

std::vector<AppEntry> CairnmoorViewModel::filteredApps() const {
    return copies(shown_);
}

const std::vector<const AppEntry*>&
CairnmoorViewModel::shownApps(const std::string& category) const {
    static const std::vector<const AppEntry*> none;
    const auto found = shownByCategory_.find(category);
    return found == shownByCategory_.end() ? none : found->second;
}

std::vector<AppEntry> CairnmoorViewModel::apps(const std::string& category) const {
    return copies(shownApps(category));
}

const std::vector<const AppEntry*>& CairnmoorViewModel::selectedEntries() const {
    if (!selected_) {
        std::vector<const AppEntry*> result;
        if (!selectedIds_.empty()) {
            for (const AppEntry* app : macApps_) {
                if (selectedIds_.contains(app->id)) {
                    result.push_back(app);
                }
            }
        }
        selected_ = std::move(result);
    }
    return *selected_;
}

std::vector<AppEntry> CairnmoorViewModel::selectedApps() const {
    return copies(selectedEntries());
}

std::optional<std::string> CairnmoorViewModel::managerPath() const {
    const auto found = managerPaths_.find(options_.packageManager);
    if (found == managerPaths_.end()) {
        return std::nullopt;
    }
    return found->second;
}

const std::vector<const AppEntry*>& CairnmoorViewModel::unsupportedEntries() const {
    if (!unsupported_) {
        std::vector<const AppEntry*> result;
        for (const AppEntry* app : selectedEntries()) {
            if (!options_.packageManager.token(*app)) {
                result.push_back(app);
            }
        }
        unsupported_ = std::move(result);
    }
    return *unsupported_;
}

std::vector<AppEntry> CairnmoorViewModel::unsupportedSelection() const {
    return copies(unsupportedEntries());
}

bool CairnmoorViewModel::canInstall() const {
    return !selectedEntries().empty() && unsupportedEntries().empty() && managerPath() &&
           !isRunning_ && !replaceConfirmation_.checking() &&
           replaceConfirmation_.question().isEmpty();
}

std::string CairnmoorViewModel::licenceTooltip(const std::string& key) const {
    const auto found = catalog_.licences.find(key);
    return found == catalog_.licences.end() ? key : found->second;
}

std::optional<bool> CairnmoorViewModel::categorySelectionState(const std::string& category) const {
    if (const auto known = categoryStates_.find(category); known != categoryStates_.end()) {
        return known->second;
    }
    std::size_t eligible = 0;
    std::size_t selected = 0;
    for (const AppEntry* app : shownApps(category)) {
        const bool isSelected = selectedIds_.contains(app->id);
        // An entry the manager cannot install still counts while it is selected, so
        // that it can be seen and unticked.
        if (!options_.packageManager.token(*app) && !isSelected) {
            continue;
        }
        ++eligible;
        if (isSelected) {
            ++selected;
        }
    }
    std::optional<bool> state = std::nullopt;
    if (eligible == 0 || selected == 0) {
        state = false;
    } else if (selected == eligible) {
        state = true;
    }
    categoryStates_.emplace(category, state);
    return state;
}

Profile CairnmoorViewModel::currentProfile() const {
    Profile profile;
    profile.schema = 2;
    profile.created = Profile::iso8601Now();
    for (const AppEntry* app : selectedEntries()) {
        profile.apps.push_back(app->id);
    }
    profile.options = options_;
    return profile;
}

// ---------------------------------------------------------------- operations

void CairnmoorViewModel::toggle(const AppEntry& app) {
    std::set<std::string> ids = selectedIds_;
    if (!ids.erase(app.id)) {
        ids.insert(app.id);
    }
    setSelectedIds(std::move(ids));
}

void CairnmoorViewModel::setCategory(const std::string& category, bool selected) {
    std::set<std::string> ids = selectedIds_;
    for (const AppEntry* app : shownApps(category)) {
        if (selected) {
            if (options_.packageManager.token(*app)) {
                ids.insert(app->id);
            }
        } else {
            ids.erase(app->id);
        }
    }
    setSelectedIds(std::move(ids));
}

void CairnmoorViewModel::selectRecommended() {
    std::set<std::string> ids = selectedIds_;
    for (const AppEntry* app : macApps_) {
        if (app->isRecommended() && options_.packageManager.token(*app)) {
            ids.insert(app->id);
        }
    }
    setSelectedIds(std::move(ids));
}

void CairnmoorViewModel::clearSelection() {
    setSelectedIds({});
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
    Q_EMIT managerPathsChanged();
    Q_EMIT derivedChanged();
}

void CairnmoorViewModel::refreshMarks() {
    if (const std::optional<std::string> path = managerPath()) {
        marks_.refresh(macApps_, options_.packageManager, options_.timeoutSeconds, *path);
    } else {
        marks_.clear();
    }
}

void CairnmoorViewModel::loadProfile(const Profile& profile) {
    std::set<std::string> unknown; // sorted, each named once
    for (const std::string& id : profile.apps) {
        if (!macAppsById_.contains(id)) {
            unknown.insert(id);
        }
    }
    if (!unknown.empty()) {
        std::string text = "Unknown or non-macOS catalogue IDs: ";
        bool first = true;
        for (const std::string& id : unknown) {
            text += first ? "" : ", ";
            text += id;
            first = false;
        }
        throw PackageManagerError::invalidSelection(text + ".");
    }
    setSelectedIds(std::set<std::string>(profile.apps.begin(), profile.apps.end()));
    setOptions(profile.options);
}

bool CairnmoorViewModel::startInstall() {
    const std::optional<std::string> path = managerPath();
    if (!canInstall() || !path || options_.packageManager != PackageManager::homebrew) {
        setLoadError(refusalText);
        return false;
    }
    if (options_.existingApps == ExistingApps::replace) {
        replaceConfirmation_.check(selectedApps(), options_, *path);
        return true;
    }
    beginRun(std::nullopt);
    return true;
}

void CairnmoorViewModel::beginRun(std::optional<std::set<std::string>> confirmed) {
    const std::optional<std::string> path = managerPath();
    if (!canInstall() || !path) {
        setLoadError(refusalText);
        return;
    }
    std::vector<AppEntry> apps = selectedApps();
    std::vector<RunRow> rows;
    rows.reserve(apps.size());
    for (const AppEntry& app : apps) {
        rows.push_back(RunRow{app, PackageState::pending(), std::nullopt, std::nullopt});
    }
    // The previous run's task has posted its completion, so it is ending or ended.
    joinRunThreads();

    runRowModel_.setRows(std::move(rows));
    logLineModel_.clear();
    setOverallProgress(0);
    setRunFinished(false);
    setIsRunning(true);

    const InstallOptions options = options_;
    auto engine = std::make_shared<InstallEngine>();
    engine_ = engine;
    auto buffer = std::make_shared<LogBuffer>();
    logBuffer_ = buffer;

    // The task never touches this object: it posts to it, and each posted unit checks
    // the weak reference on the UI thread. The destructor waits for the task, so the
    // post target is alive whenever a post is made.
    QObject* target = this;
    QPointer<CairnmoorViewModel> weak(this);
    runTask_ = std::thread([target, weak, engine, buffer, options, apps = std::move(apps),
                            managerPath = *path, confirmed = std::move(confirmed)]() {
        auto state = std::make_shared<RunProgressState>(static_cast<std::int64_t>(apps.size()));
        if (options.writeLog) {
            try {
                const FileManager& fileManager = FileManager::defaultManager();
                std::filesystem::path url = InstallLog::path(
                    ProcessInfo::hostName(), std::chrono::system_clock::now(), fileManager);
                try {
                    InstallLog::createParentDirectory(url, fileManager);
                } catch (const std::exception&) {
                    // The file cannot be made either; its lines are then lost silently.
                }
                try {
                    url = InstallLog::createFile(url);
                } catch (const std::exception&) {
                    // Keep the location: later appends fail silently, as a lost line would.
                }
                state->setLogURL(url);
            } catch (const std::exception&) {
                // No location at all: the run goes on without a log file.
            }
        }

        const auto onProgress = [&](const std::string& id, const PackageState& packageState) {
            std::optional<double> fraction;
            if (packageState.isFinal()) {
                fraction = state->completeOne();
            }
            QMetaObject::invokeMethod(
                target,
                [weak, id, packageState, fraction]() {
                    if (weak) {
                        weak->applyProgress(id, packageState, fraction);
                    }
                },
                Qt::QueuedConnection);
        };
        const auto onLog = [&](const std::string& line) {
            state->appendLog(line);
            QString text = QString::fromStdString(line);
            bool postFlush = false;
            {
                std::lock_guard guard(buffer->mutex);
                buffer->pending.push_back(std::move(text));
                postFlush = !buffer->flushPosted;
                buffer->flushPosted = true;
            }
            if (postFlush) {
                QMetaObject::invokeMethod(
                    target,
                    [weak, buffer]() {
                        if (weak) {
                            weak->requestLogFlush(buffer);
                        }
                    },
                    Qt::QueuedConnection);
            }
        };
        // The rows show the plan before the first command; posted first, it arrives first.
        const auto onPlan = [&](const std::vector<PlannedEntry>& plan) {
            QMetaObject::invokeMethod(
                target,
                [weak, plan]() {
                    if (weak) {
                        weak->runRowModel_.setPlan(plan);
                    }
                },
                Qt::QueuedConnection);
            // The Mac may have changed since the user was asked: replace nothing unasked.
            std::string unasked;
            for (const PlannedEntry& entry : plan) {
                if (entry.action == PlannedAction::replace &&
                    !(confirmed && confirmed->contains(entry.app.id))) {
                    unasked += (unasked.empty() ? "" : ", ") + entry.app.name;
                }
            }
            if (!unasked.empty()) {
                onLog("Nothing was installed: " + unasked +
                      " would also be replaced, which was not asked; start the install again.");
                engine->cancel();
            }
        };
        const std::vector<PackageResult> results =
            engine->run(apps, options, managerPath, {onProgress, onLog, onPlan});
        // Only a cancel skips packages; say so where the user reads what happened.
        const auto skipped = std::count_if(results.begin(), results.end(), [](const auto& r) {
            return r.state == PackageState::skipped();
        });
        if (skipped > 0) {
            onLog("Run cancelled: " + std::to_string(skipped) +
                  (skipped == 1 ? " package was" : " packages were") + " skipped.");
        }

        QMetaObject::invokeMethod(
            target,
            [weak, buffer, logURL = state->logURL()]() {
                if (weak) {
                    weak->flushLog(*buffer);
                    weak->completeRun(logURL);
                }
            },
            Qt::QueuedConnection);
    });
    Q_EMIT runStarted();
}

void CairnmoorViewModel::applyProgress(const std::string& id, const PackageState& state,
                                       std::optional<double> fraction) {
    (void)runRowModel_.setState(id, state);
    if (fraction) {
        setOverallProgress(*fraction);
    }
}

void CairnmoorViewModel::requestLogFlush(const std::shared_ptr<LogBuffer>& buffer) {
    const qint64 sinceLast = lastLogFlush_.isValid() ? lastLogFlush_.elapsed() : logFlushInterval;
    if (sinceLast >= logFlushInterval) {
        flushLog(*buffer);
        return;
    }
    // The buffer keeps its flush marked as posted, so the engine's threads post nothing
    // more until this timer has taken the lines.
    delayedFlush_ = buffer;
    logFlushTimer_.start(static_cast<int>(logFlushInterval - sinceLast));
}

void CairnmoorViewModel::flushLog(LogBuffer& buffer) {
    lastLogFlush_.start();
    std::vector<QString> lines;
    {
        std::lock_guard guard(buffer.mutex);
        lines.swap(buffer.pending);
        buffer.flushPosted = false;
    }
    logLineModel_.append(std::move(lines));
}

void CairnmoorViewModel::completeRun(std::optional<std::filesystem::path> logURL) {
    logFlushTimer_.stop();
    delayedFlush_.reset();
    setIsRunning(false);
    setRunFinished(true);
    setOverallProgress(1.0);
    lastLogURL_ = std::move(logURL);
    Q_EMIT lastLogURLChanged();
    // What the run installed is marked from a new inventory.
    refreshMarks();
    Q_EMIT runCompleted();
}

void CairnmoorViewModel::cancelRun() {
    if (!engine_) {
        return;
    }
    // cancel() may wait out the runner's grace period; the UI thread must not.
    cancelTasks_.emplace_back([engine = engine_]() { engine->cancel(); });
}

// ---------------------------------------------------------------- QML helpers

const AppEntry* CairnmoorViewModel::findApp(const std::string& id) const {
    const auto found = macAppsById_.find(id);
    return found == macAppsById_.end() ? nullptr : found->second;
}

void CairnmoorViewModel::toggle(const QString& id) {
    if (const AppEntry* app = findApp(id.toStdString())) {
        toggle(*app);
    }
}

void CairnmoorViewModel::setCategory(const QString& category, bool selected) {
    setCategory(category.toStdString(), selected);
}

int CairnmoorViewModel::categorySelectionState(const QString& category) const {
    const std::optional<bool> state = categorySelectionState(category.toStdString());
    return state ? (*state ? 1 : 0) : -1;
}

bool CairnmoorViewModel::isSelected(const QString& id) const {
    return selectedIds_.contains(id.toStdString());
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

bool CairnmoorViewModel::applyTimeoutText(const QString& text) {
    const std::optional<std::int64_t> value = parseWholeNumber(text.toStdString());
    if (!value || *value < 1) {
        return false;
    }
    setTimeoutSeconds(*value);
    return true;
}

std::string CairnmoorViewModel::packageText(const AppEntry& app) const {
    if (auto token = options_.packageManager.token(app)) {
        return *token;
    }
    return "Not available via " + std::string(options_.packageManager.displayName());
}

bool CairnmoorViewModel::checkEnabled(const AppEntry& app) const {
    return options_.packageManager.token(app).has_value() || selectedIds_.contains(app.id);
}

std::string CairnmoorViewModel::selectHelpText(const AppEntry& app) const {
    if (options_.packageManager.token(app)) {
        return "Select " + app.name;
    }
    return "No verified " + std::string(options_.packageManager.displayName()) + " mapping";
}

QString CairnmoorViewModel::packageText(const QString& id) const {
    const AppEntry* app = findApp(id.toStdString());
    return app ? QString::fromStdString(packageText(*app)) : QString();
}

bool CairnmoorViewModel::checkEnabled(const QString& id) const {
    const AppEntry* app = findApp(id.toStdString());
    return app && checkEnabled(*app);
}

QString CairnmoorViewModel::selectHelpText(const QString& id) const {
    const AppEntry* app = findApp(id.toStdString());
    return app ? QString::fromStdString(selectHelpText(*app)) : QString();
}

QString CairnmoorViewModel::licenceTooltip(const QString& key) const {
    return QString::fromStdString(licenceTooltip(key.toStdString()));
}

QVariantList CairnmoorViewModel::appsIn(const QString& category) const {
    QVariantList result;
    for (const AppEntry* entry : shownApps(category.toStdString())) {
        const AppEntry& app = *entry;
        QVariantMap row;
        row.insert(QStringLiteral("kind"), QStringLiteral("app"));
        row.insert(QStringLiteral("isHeader"), false);
        row.insert(QStringLiteral("category"), QString::fromStdString(app.category));
        row.insert(QStringLiteral("appId"), QString::fromStdString(app.id));
        row.insert(QStringLiteral("name"), QString::fromStdString(app.name));
        row.insert(QStringLiteral("summary"), QString::fromStdString(app.summary));
        row.insert(QStringLiteral("licence"), QString::fromStdString(app.licence));
        row.insert(QStringLiteral("licenceTooltip"),
                   QString::fromStdString(licenceTooltip(app.licence)));
        row.insert(QStringLiteral("homepage"), QString::fromStdString(app.homepage));
        row.insert(QStringLiteral("recommended"), app.isRecommended());
        row.insert(QStringLiteral("selected"), selectedIds_.contains(app.id));
        row.insert(QStringLiteral("checkEnabled"), checkEnabled(app));
        row.insert(QStringLiteral("packageText"), QString::fromStdString(packageText(app)));
        row.insert(QStringLiteral("helpText"), QString::fromStdString(selectHelpText(app)));
        result.push_back(row);
    }
    return result;
}

// ---------------------------------------------------------------- property accessors

QStringList CairnmoorViewModel::selectedIdList() const {
    QStringList ids;
    for (const std::string& id : selectedIds_) {
        ids.push_back(QString::fromStdString(id));
    }
    return ids;
}

QString CairnmoorViewModel::lastLogURLText() const {
    return lastLogURL_ ? QString::fromStdString(lastLogURL_->string()) : QString();
}

QString CairnmoorViewModel::loadErrorText() const {
    return loadError_ ? QString::fromStdString(*loadError_) : QString();
}

QString CairnmoorViewModel::packageManagerName() const {
    return qs(options_.packageManager.rawValue());
}

void CairnmoorViewModel::setPackageManagerName(const QString& rawValue) {
    if (auto manager = PackageManager::fromRawValue(rawValue.toStdString())) {
        InstallOptions options = options_;
        options.packageManager = *manager;
        setOptions(options);
    }
}

int CairnmoorViewModel::packageManagerIndex() const {
    return static_cast<int>(options_.packageManager.value());
}

void CairnmoorViewModel::setPackageManagerIndex(int index) {
    if (index < 0 || index >= static_cast<int>(PackageManager::allCases.size())) {
        return;
    }
    InstallOptions options = options_;
    options.packageManager = PackageManager::allCases[static_cast<std::size_t>(index)];
    setOptions(options);
}

void CairnmoorViewModel::setSkipInstalled(bool value) {
    InstallOptions options = options_;
    options.skipInstalled = value;
    setOptions(options);
}

void CairnmoorViewModel::setUpgradeIfPresent(bool value) {
    InstallOptions options = options_;
    options.upgradeIfPresent = value;
    setOptions(options);
}

void CairnmoorViewModel::setRunUpdateFirst(bool value) {
    InstallOptions options = options_;
    options.runUpdateFirst = value;
    setOptions(options);
}

void CairnmoorViewModel::setWriteLog(bool value) {
    InstallOptions options = options_;
    options.writeLog = value;
    setOptions(options);
}

void CairnmoorViewModel::setExistingAppsIndex(int index) {
    if (index < 0 || index > static_cast<int>(ExistingApps::replace)) {
        return;
    }
    InstallOptions options = options_;
    options.existingApps = static_cast<ExistingApps>(index);
    setOptions(options);
}

void CairnmoorViewModel::setPrefetch(bool value) {
    InstallOptions options = options_;
    options.prefetch = value;
    setOptions(options);
}

void CairnmoorViewModel::setTimeoutSeconds(qint64 seconds) {
    if (seconds < 1) {
        return;
    }
    InstallOptions options = options_;
    options.timeoutSeconds = seconds;
    setOptions(options);
}

QString CairnmoorViewModel::managerDisplayName() const {
    return qs(options_.packageManager.displayName());
}

QString CairnmoorViewModel::managerExecutableName() const {
    return qs(options_.packageManager.executableName());
}

QString CairnmoorViewModel::managerInstallURL() const {
    return qs(options_.packageManager.installURL());
}

QStringList CairnmoorViewModel::managerNames() const {
    QStringList names;
    for (const PackageManager manager : PackageManager::allCases) {
        names.push_back(qs(manager.displayName()));
    }
    return names;
}

QStringList CairnmoorViewModel::categoryList() const {
    QStringList names;
    for (const std::string& category : categories_) {
        names.push_back(QString::fromStdString(category));
    }
    return names;
}

QString CairnmoorViewModel::managerPathText() const {
    const auto path = managerPath();
    return path ? QString::fromStdString(*path) : QString();
}

QString CairnmoorViewModel::managerStatusText() const {
    if (const auto path = managerPath()) {
        return managerExecutableName() + QStringLiteral(": ") + QString::fromStdString(*path);
    }
    return options_.packageManager == PackageManager::homebrew
               ? QStringLiteral("Homebrew not found")
               : QStringLiteral("MacPorts missing or not trusted");
}

int CairnmoorViewModel::unsupportedCount() const {
    return static_cast<int>(unsupportedEntries().size());
}

QStringList CairnmoorViewModel::unsupportedNames() const {
    QStringList names;
    for (const AppEntry* app : unsupportedEntries()) {
        names.push_back(QString::fromStdString(app->name));
    }
    return names;
}

QString CairnmoorViewModel::unsupportedWarningText() const {
    const int count = unsupportedCount();
    if (count == 0) {
        return {};
    }
    const bool one = count == 1;
    return QStringLiteral("%1 selected %2 no %3 mapping. Deselect %4 or switch manager; %5 will "
                          "not be silently omitted.")
        .arg(QString::number(count), one ? QStringLiteral("app has") : QStringLiteral("apps have"),
             managerDisplayName(), one ? QStringLiteral("it") : QStringLiteral("them"),
             one ? QStringLiteral("it") : QStringLiteral("they"));
}

bool CairnmoorViewModel::canExportScript() const {
    return !selectedEntries().empty() && unsupportedEntries().empty();
}

bool CairnmoorViewModel::canExportBrewfile() const {
    return options_.packageManager == PackageManager::homebrew && !selectedEntries().empty();
}

QString CairnmoorViewModel::installButtonText() const {
    return isMacPorts() ? QStringLiteral("Install in Terminal...") : QStringLiteral("Install now");
}

} // namespace cairnmoor
