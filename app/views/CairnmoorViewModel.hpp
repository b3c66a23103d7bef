#pragma once

#include "install/InstallOptions.hpp"
#include "install/Profile.hpp"
#include "install/Selection.hpp"
#include "managers/PackageManager.hpp"
#include "platform/Clock.hpp"
#include "views/CarryOver.hpp"
#include "views/CatalogueRowModel.hpp"
#include "views/InstallRun.hpp"
#include "views/InstalledMarks.hpp"
#include "views/OptionsModel.hpp"
#include "views/ReplaceConfirmation.hpp"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cairnmoor {

// The one model behind the window: the catalogue and the user's choice from it, the
// located managers and the error line. Each further concern is an object of its own that
// this one owns, offers as a CONSTANT property and connects in its constructor: the
// install options (`options`), the in-window run (`run`), what is installed already
// (`installedMarks`), the question before replacing apps (`replaceConfirmation`) and the
// catalogue's rows. Lives on the UI thread; every property is read and written there
// only. The QML views present it and forward actions; all logic is here and in the core.
class CairnmoorViewModel : public QObject {
    Q_OBJECT

    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(int selectedCount READ selectedCount NOTIFY selectedIdsChanged)
    // The last error to show; empty when there is none.
    Q_PROPERTY(QString loadError READ loadErrorText NOTIFY loadErrorChanged)

    // Derived values; `derivedChanged` fires whenever an input of any of them changes.
    Q_PROPERTY(bool hasManagerPath READ hasManagerPath NOTIFY derivedChanged)
    // "brew: <path>" / "port: <path>", or "Homebrew not found" /
    // "MacPorts missing or not trusted".
    Q_PROPERTY(QString managerStatusText READ managerStatusText NOTIFY derivedChanged)
    // The warning line about unsupported entries; empty when there are none.
    Q_PROPERTY(QString unsupportedWarningText READ unsupportedWarningText NOTIFY derivedChanged)
    Q_PROPERTY(bool canInstall READ canInstall NOTIFY derivedChanged)
    Q_PROPERTY(bool canExportScript READ canExportScript NOTIFY derivedChanged)
    Q_PROPERTY(bool canExportBrewfile READ canExportBrewfile NOTIFY derivedChanged)

    // The owned objects (never replaced).
    Q_PROPERTY(cairnmoor::OptionsModel* options READ optionsModel CONSTANT)
    Q_PROPERTY(cairnmoor::InstallRun* run READ installRun CONSTANT)
    Q_PROPERTY(cairnmoor::CatalogueRowModel* catalogueRows READ catalogueRows CONSTANT)
    Q_PROPERTY(cairnmoor::InstalledMarks* installedMarks READ installedMarks CONSTANT)
    Q_PROPERTY(
        cairnmoor::ReplaceConfirmation* replaceConfirmation READ replaceConfirmation CONSTANT)
    // Packages beyond the catalogue, Brewfile import and saving this Mac as a profile.
    Q_PROPERTY(cairnmoor::CarryOver* carryOver READ carryOver CONSTANT)

public:
    // How a manager's executable is located; the default asks the platform locator with
    // the default file manager and the process environment.
    using ManagerResolver = std::function<std::optional<std::string>(PackageManager)>;

    explicit CairnmoorViewModel(QObject* parent = nullptr);
    // `clock` paces the run's log and outlives the model.
    explicit CairnmoorViewModel(ManagerResolver resolver, const Clock& clock = Clock::steady(),
                                QObject* parent = nullptr);
    CairnmoorViewModel(const CairnmoorViewModel&) = delete;
    CairnmoorViewModel& operator=(const CairnmoorViewModel&) = delete;

    // --- the choice ---
    const Catalog& catalog() const { return selection_.catalog(); }
    QString searchText() const { return searchText_; }
    void setSearchText(const QString& text);
    const std::set<std::string>& selectedIds() const { return selection_.ids(); }
    void setSelectedIds(std::set<std::string> ids);
    int selectedCount() const { return static_cast<int>(selection_.ids().size()); }
    std::vector<AppEntry> selectedApps() const;
    // true all eligible selected, false none (or nothing eligible), none mixed.
    std::optional<bool> categorySelectionState(const std::string& category) const;
    Q_INVOKABLE void toggle(const QString& id);
    Q_INVOKABLE void setCategory(const QString& category, bool selected);
    Q_INVOKABLE void selectRecommended();
    Q_INVOKABLE void clearSelection();

    // --- profiles ---
    Profile currentProfile() const;
    // Throws PackageManagerError::invalidSelection naming unknown ids; nothing changes then.
    void loadProfile(const Profile& profile);
    // Reads and applies a profile file; returns the error text to show, empty on success.
    Q_INVOKABLE QString loadProfileFile(const QString& path);

    // --- options and managers ---
    const InstallOptions& options() const { return options_.options(); }
    std::optional<std::string> managerPath() const;
    bool hasManagerPath() const { return managerPath().has_value(); }
    QString managerStatusText() const;
    Q_INVOKABLE void refreshManagers();

    // --- the run ---
    bool canInstall() const;
    // Starts an in-window install, or sets loadError; true when a run started. With
    // existingApps replace, the run starts once replaceConfirmation has looked at the Mac
    // and the user has agreed to what it would replace (true then means: checking).
    Q_INVOKABLE bool startInstall();

    // --- the rest of the window's state ---
    QString loadErrorText() const;
    QString unsupportedWarningText() const;
    bool canExportScript() const;
    bool canExportBrewfile() const;

    OptionsModel* optionsModel() { return &options_; }
    InstallRun* installRun() { return &run_; }
    CatalogueRowModel* catalogueRows() { return &catalogueRowModel_; }
    InstalledMarks* installedMarks() { return &marks_; }
    ReplaceConfirmation* replaceConfirmation() { return &replaceConfirmation_; }
    CarryOver* carryOver() { return &carryOver_; }

Q_SIGNALS:
    void searchTextChanged();
    void selectedIdsChanged();
    void loadErrorChanged();
    void derivedChanged();

private:
    void setLoadError(std::string text);
    // Something is chosen: catalogue apps, or packages beyond the catalogue.
    bool hasChoice() const;
    // Every choice has a package for the chosen manager.
    bool allSupported() const;
    // After a change of the chosen identifiers.
    void selectionDidChange(bool changed);
    // `approved`: with existingApps replace, the ids the user agreed to replace; none: the
    // apps found outside Homebrew are left as they are this time.
    void beginRun(std::optional<std::set<std::string>> approved);
    // A new inventory for the marks, of the chosen manager where one was found.
    void refreshMarks();

    ManagerResolver resolver_;
    Selection selection_;
    QString searchText_;
    std::optional<std::string> loadError_;
    std::map<PackageManager, std::string> managerPaths_;

    OptionsModel options_;
    InstallRun run_;
    InstalledMarks marks_;
    CatalogueRowModel catalogueRowModel_;
    ReplaceConfirmation replaceConfirmation_;
    CarryOver carryOver_;
};

} // namespace cairnmoor
