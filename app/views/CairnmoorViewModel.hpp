#pragma once

#include "catalogue/Catalog.hpp"
#include "install/InstallOptions.hpp"
#include "install/Profile.hpp"
#include "managers/PackageManager.hpp"
#include "views/CatalogueRowModel.hpp"
#include "views/InstalledMarks.hpp"
#include "views/LogLineModel.hpp"
#include "views/ReplaceConfirmation.hpp"
#include "views/RunRow.hpp"
#include "views/RunRowModel.hpp"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantList>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace cairnmoor {

class InstallEngine;

// The one model behind the window: catalogue, search, selection, install options, the
// located managers and the in-window Homebrew run. What is installed already
// (`installedMarks`) and the question before replacing apps (`replaceConfirmation`) are
// objects of their own that this one owns and feeds. Lives on the UI thread; every
// property is read and written there only. The QML views present it and forward
// actions; all logic is here.
class CairnmoorViewModel : public QObject {
    Q_OBJECT

    // Stored state.
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QStringList selectedIds READ selectedIdList NOTIFY selectedIdsChanged)
    Q_PROPERTY(int selectedCount READ selectedCount NOTIFY selectedIdsChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(double overallProgress READ overallProgress NOTIFY overallProgressChanged)
    Q_PROPERTY(bool runFinished READ runFinished NOTIFY runFinishedChanged)
    // The last finished run's log file as a path; empty when none was written.
    Q_PROPERTY(QString lastLogURL READ lastLogURLText NOTIFY lastLogURLChanged)
    // The last error to show; empty when there is none.
    Q_PROPERTY(QString loadError READ loadErrorText NOTIFY loadErrorChanged)

    // The install options, one property per field.
    Q_PROPERTY(QString packageManager READ packageManagerName WRITE setPackageManagerName NOTIFY
                   optionsChanged)
    Q_PROPERTY(int packageManagerIndex READ packageManagerIndex WRITE setPackageManagerIndex NOTIFY
                   optionsChanged)
    Q_PROPERTY(bool skipInstalled READ skipInstalled WRITE setSkipInstalled NOTIFY optionsChanged)
    Q_PROPERTY(
        bool upgradeIfPresent READ upgradeIfPresent WRITE setUpgradeIfPresent NOTIFY optionsChanged)
    Q_PROPERTY(
        bool runUpdateFirst READ runUpdateFirst WRITE setRunUpdateFirst NOTIFY optionsChanged)
    Q_PROPERTY(bool writeLog READ writeLog WRITE setWriteLog NOTIFY optionsChanged)
    // Values below 1 are ignored (the last valid value stays).
    Q_PROPERTY(
        qint64 timeoutSeconds READ timeoutSeconds WRITE setTimeoutSeconds NOTIFY optionsChanged)
    // ExistingApps in declaration order: 0 skip, 1 adopt, 2 replace.
    Q_PROPERTY(int existingAppsIndex READ existingAppsIndex WRITE setExistingAppsIndex NOTIFY
                   optionsChanged)
    Q_PROPERTY(bool prefetch READ prefetch WRITE setPrefetch NOTIFY optionsChanged)

    // Per-manager texts of the chosen manager.
    Q_PROPERTY(QString managerDisplayName READ managerDisplayName NOTIFY optionsChanged)
    Q_PROPERTY(QString managerExecutableName READ managerExecutableName NOTIFY optionsChanged)
    Q_PROPERTY(QString managerInstallURL READ managerInstallURL NOTIFY optionsChanged)
    Q_PROPERTY(bool isMacPorts READ isMacPorts NOTIFY optionsChanged)
    // "Homebrew", "MacPorts" in PackageManager order, for the picker.
    Q_PROPERTY(QStringList managerNames READ managerNames CONSTANT)

    // Derived values; `derivedChanged` fires whenever an input of any of them changes.
    Q_PROPERTY(QStringList categories READ categoryList NOTIFY catalogChanged)
    Q_PROPERTY(QString managerPath READ managerPathText NOTIFY derivedChanged)
    Q_PROPERTY(bool hasManagerPath READ hasManagerPath NOTIFY derivedChanged)
    // "brew: <path>" / "port: <path>", or "Homebrew not found" /
    // "MacPorts missing or not trusted".
    Q_PROPERTY(QString managerStatusText READ managerStatusText NOTIFY derivedChanged)
    Q_PROPERTY(int unsupportedCount READ unsupportedCount NOTIFY derivedChanged)
    Q_PROPERTY(QStringList unsupportedNames READ unsupportedNames NOTIFY derivedChanged)
    // The warning line about unsupported entries; empty when there are none.
    Q_PROPERTY(QString unsupportedWarningText READ unsupportedWarningText NOTIFY derivedChanged)
    Q_PROPERTY(bool canInstall READ canInstall NOTIFY derivedChanged)
    Q_PROPERTY(bool canExportScript READ canExportScript NOTIFY derivedChanged)
    Q_PROPERTY(bool canExportBrewfile READ canExportBrewfile NOTIFY derivedChanged)
    // "Install in Terminal..." under MacPorts, "Install now" otherwise.
    Q_PROPERTY(QString installButtonText READ installButtonText NOTIFY optionsChanged)

    // List models for virtualised views (owned by this object, never replaced).
    Q_PROPERTY(cairnmoor::CatalogueRowModel* catalogueRows READ catalogueRows CONSTANT)
    Q_PROPERTY(cairnmoor::RunRowModel* runRows READ runRowModel CONSTANT)
    Q_PROPERTY(cairnmoor::LogLineModel* logLines READ logLineModel CONSTANT)
    Q_PROPERTY(cairnmoor::InstalledMarks* installedMarks READ installedMarks CONSTANT)
    Q_PROPERTY(
        cairnmoor::ReplaceConfirmation* replaceConfirmation READ replaceConfirmation CONSTANT)

public:
    // How a manager's executable is located; the default asks the platform locator with
    // the default file manager and the process environment.
    using ManagerResolver = std::function<std::optional<std::string>(PackageManager)>;

    explicit CairnmoorViewModel(QObject* parent = nullptr);
    explicit CairnmoorViewModel(ManagerResolver resolver, QObject* parent = nullptr);
    // A run still going is cancelled and waited for: nothing of it outlives the model.
    ~CairnmoorViewModel() override;
    CairnmoorViewModel(const CairnmoorViewModel&) = delete;
    CairnmoorViewModel& operator=(const CairnmoorViewModel&) = delete;

    // --- stored state (C++) ---
    const Catalog& catalog() const { return catalog_; }
    QString searchText() const { return searchText_; }
    void setSearchText(const QString& text);
    const std::set<std::string>& selectedIds() const { return selectedIds_; }
    void setSelectedIds(std::set<std::string> ids);
    const InstallOptions& options() const { return options_; }
    void setOptions(const InstallOptions& options);
    bool isRunning() const { return isRunning_; }
    const std::vector<RunRow>& runRows() const { return runRowModel_.rows(); }
    const std::deque<QString>& logLines() const { return logLineModel_.lines(); }
    double overallProgress() const { return overallProgress_; }
    bool runFinished() const { return runFinished_; }
    const std::optional<std::filesystem::path>& lastLogURL() const { return lastLogURL_; }
    const std::optional<std::string>& loadError() const { return loadError_; }
    const std::map<PackageManager, std::string>& managerPaths() const { return managerPaths_; }
    // The engine of the current or last run (kept so the run can be cancelled).
    std::shared_ptr<InstallEngine> engine() const { return engine_; }

    // --- derived values ---
    // Kept between changes: the mac entries and categories per catalogue, the shown
    // entries per search, the selection's entries and category states until the
    // selection, search or manager changes. The copying accessors are for callers
    // outside the window's hot paths.
    std::vector<AppEntry> filteredApps() const;
    const std::vector<std::string>& categories() const { return categories_; }
    std::vector<AppEntry> apps(const std::string& category) const;
    std::vector<AppEntry> selectedApps() const;
    std::optional<std::string> managerPath() const;
    std::vector<AppEntry> unsupportedSelection() const;
    // The same without copies; valid until the next change of the search, selection or
    // manager.
    const std::vector<const AppEntry*>& shownApps(const std::string& category) const;
    const std::vector<const AppEntry*>& selectedEntries() const;
    const std::vector<const AppEntry*>& unsupportedEntries() const;
    bool canInstall() const;
    std::string licenceTooltip(const std::string& key) const;
    // true all eligible selected, false none (or nothing eligible), none mixed.
    std::optional<bool> categorySelectionState(const std::string& category) const;
    Profile currentProfile() const;

    // --- operations (C++) ---
    void toggle(const AppEntry& app);
    void setCategory(const std::string& category, bool selected);
    // Throws PackageManagerError::invalidSelection naming unknown ids; nothing changes then.
    void loadProfile(const Profile& profile);

    // --- operations and helpers for QML ---
    Q_INVOKABLE void toggle(const QString& id);
    Q_INVOKABLE void setCategory(const QString& category, bool selected);
    // -1 mixed, 0 none selected or nothing eligible, 1 all eligible selected.
    Q_INVOKABLE int categorySelectionState(const QString& category) const;
    Q_INVOKABLE bool isSelected(const QString& id) const;
    Q_INVOKABLE void selectRecommended();
    Q_INVOKABLE void clearSelection();
    Q_INVOKABLE void refreshManagers();
    // Reads and applies a profile file; returns the error text to show, empty on success.
    Q_INVOKABLE QString loadProfileFile(const QString& path);
    // Starts an in-window install, or sets loadError; true when a run started. With
    // existingApps replace, the run starts once replaceConfirmation has looked at the Mac
    // and the user has agreed to what it would replace (true then means: checking).
    Q_INVOKABLE bool startInstall();
    // Asks the running engine to stop, off the UI thread (the stop may take a moment).
    // No engine: nothing happens.
    Q_INVOKABLE void cancelRun();
    // The time-out field: applies the text when it is a whole number of at least 1
    // (optional sign, digits only); returns whether it was applied.
    Q_INVOKABLE bool applyTimeoutText(const QString& text);
    // Per-entry texts of an app row for the chosen manager.
    Q_INVOKABLE QString packageText(const QString& id) const;
    Q_INVOKABLE bool checkEnabled(const QString& id) const;
    Q_INVOKABLE QString selectHelpText(const QString& id) const;
    Q_INVOKABLE QString licenceTooltip(const QString& key) const;
    // Rows of one category (search applied) as maps with the keys of the catalogue
    // rows' roles, for views that do not use `catalogueRows`.
    Q_INVOKABLE QVariantList appsIn(const QString& category) const;

    // The per-entry texts, C++ side (shared with the row model).
    std::string packageText(const AppEntry& app) const;
    bool checkEnabled(const AppEntry& app) const;
    std::string selectHelpText(const AppEntry& app) const;

    // Property accessors.
    QStringList selectedIdList() const;
    int selectedCount() const { return static_cast<int>(selectedIds_.size()); }
    QString lastLogURLText() const;
    QString loadErrorText() const;
    QString packageManagerName() const;
    void setPackageManagerName(const QString& rawValue);
    int packageManagerIndex() const;
    void setPackageManagerIndex(int index);
    bool skipInstalled() const { return options_.skipInstalled; }
    void setSkipInstalled(bool value);
    bool upgradeIfPresent() const { return options_.upgradeIfPresent; }
    void setUpgradeIfPresent(bool value);
    bool runUpdateFirst() const { return options_.runUpdateFirst; }
    void setRunUpdateFirst(bool value);
    bool writeLog() const { return options_.writeLog; }
    void setWriteLog(bool value);
    qint64 timeoutSeconds() const { return options_.timeoutSeconds; }
    void setTimeoutSeconds(qint64 seconds);
    int existingAppsIndex() const { return static_cast<int>(options_.existingApps); }
    void setExistingAppsIndex(int index);
    bool prefetch() const { return options_.prefetch; }
    void setPrefetch(bool value);
    QString managerDisplayName() const;
    QString managerExecutableName() const;
    QString managerInstallURL() const;
    bool isMacPorts() const { return options_.packageManager == PackageManager::macports; }
    QStringList managerNames() const;
    QStringList categoryList() const;
    QString managerPathText() const;
    bool hasManagerPath() const { return managerPath().has_value(); }
    QString managerStatusText() const;
    int unsupportedCount() const;
    QStringList unsupportedNames() const;
    QString unsupportedWarningText() const;
    bool canExportScript() const;
    bool canExportBrewfile() const;
    QString installButtonText() const;
    CatalogueRowModel* catalogueRows() { return &catalogueRowModel_; }
    RunRowModel* runRowModel() { return &runRowModel_; }
    LogLineModel* logLineModel() { return &logLineModel_; }
    InstalledMarks* installedMarks() { return &marks_; }
    const InstalledMarks& installedMarks() const { return marks_; }
    ReplaceConfirmation* replaceConfirmation() { return &replaceConfirmation_; }

Q_SIGNALS:
    void catalogChanged();
    void searchTextChanged();
    void selectedIdsChanged();
    void optionsChanged();
    void isRunningChanged();
    void overallProgressChanged();
    void runFinishedChanged();
    void lastLogURLChanged();
    void loadErrorChanged();
    void managerPathsChanged();
    void derivedChanged();
    // A run has started (its rows are in place).
    void runStarted();
    // The completion step of a run has finished (after runFinished and lastLogURL).
    void runCompleted();

private:
    struct LogBuffer;

    const AppEntry* findApp(const std::string& id) const;
    void catalogDidChange();
    void searchDidChange();
    void forgetSelectionDerived();
    void setLoadError(std::string text);
    void setIsRunning(bool value);
    void setRunFinished(bool value);
    void setOverallProgress(double value);
    void selectionDidChange();
    void applyProgress(const std::string& id, const PackageState& state,
                       std::optional<double> fraction);
    void requestLogFlush(const std::shared_ptr<LogBuffer>& buffer);
    void flushLog(LogBuffer& buffer);
    // `confirmed`: with existingApps replace, the ids the user agreed to replace.
    void beginRun(std::optional<std::set<std::string>> confirmed);
    void completeRun(std::optional<std::filesystem::path> logURL);
    // A new inventory for the marks, of the chosen manager where one was found.
    void refreshMarks();
    void joinRunThreads();

    ManagerResolver resolver_;
    Catalog catalog_;
    QString searchText_;
    std::set<std::string> selectedIds_;
    InstallOptions options_;
    bool isRunning_ = false;
    double overallProgress_ = 0;
    bool runFinished_ = false;
    std::optional<std::filesystem::path> lastLogURL_;
    std::optional<std::string> loadError_;
    std::map<PackageManager, std::string> managerPaths_;
    std::shared_ptr<InstallEngine> engine_;
    std::shared_ptr<LogBuffer> logBuffer_;
    // Log lines reach the view at most once a frame: a flood of output must not keep
    // the UI thread busy inserting rows.
    QTimer logFlushTimer_;
    QElapsedTimer lastLogFlush_;
    std::shared_ptr<LogBuffer> delayedFlush_;
    std::thread runTask_;
    std::vector<std::thread> cancelTasks_;

    // Derived from catalog_ (pointers into its entries; rebuilt with it).
    std::vector<const AppEntry*> macApps_;
    std::unordered_map<std::string, const AppEntry*> macAppsById_; // first entry per id
    std::vector<std::string> categories_;
    // Derived from the catalogue and searchText_.
    std::vector<const AppEntry*> shown_;
    std::unordered_map<std::string, std::vector<const AppEntry*>> shownByCategory_;
    // Derived from the selection (and the manager), made on first read.
    mutable std::optional<std::vector<const AppEntry*>> selected_;
    mutable std::optional<std::vector<const AppEntry*>> unsupported_;
    mutable std::unordered_map<std::string, std::optional<bool>> categoryStates_;

    CatalogueRowModel catalogueRowModel_;
    RunRowModel runRowModel_;
    LogLineModel logLineModel_;
    InstalledMarks marks_;
    ReplaceConfirmation replaceConfirmation_;
};

} // namespace cairnmoor
