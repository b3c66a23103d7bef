#pragma once

#include "install/InstallOptions.hpp"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace cairnmoor {

// The install options as the options sheet edits them, one property per field, and the
// texts that follow from the chosen manager. Lives on the UI thread.
class OptionsModel : public QObject {
    Q_OBJECT
    // PackageManager::allCases order: 0 Homebrew, 1 MacPorts.
    Q_PROPERTY(int packageManagerIndex READ packageManagerIndex WRITE setPackageManagerIndex NOTIFY
                   changed)
    Q_PROPERTY(bool skipInstalled READ skipInstalled WRITE setSkipInstalled NOTIFY changed)
    Q_PROPERTY(bool upgradeIfPresent READ upgradeIfPresent WRITE setUpgradeIfPresent NOTIFY changed)
    Q_PROPERTY(bool runUpdateFirst READ runUpdateFirst WRITE setRunUpdateFirst NOTIFY changed)
    Q_PROPERTY(bool writeLog READ writeLog WRITE setWriteLog NOTIFY changed)
    // Values below 1 are ignored (the last valid value stays).
    Q_PROPERTY(qint64 timeoutSeconds READ timeoutSeconds WRITE setTimeoutSeconds NOTIFY changed)
    // ExistingApps in declaration order: 0 skip, 1 adopt, 2 replace.
    Q_PROPERTY(
        int existingAppsIndex READ existingAppsIndex WRITE setExistingAppsIndex NOTIFY changed)
    Q_PROPERTY(bool prefetch READ prefetch WRITE setPrefetch NOTIFY changed)
    // Open apps are asked to quit (runningApps quit) rather than left alone.
    Q_PROPERTY(bool quitRunningApps READ quitRunningApps WRITE setQuitRunningApps NOTIFY changed)

    Q_PROPERTY(QString managerDisplayName READ managerDisplayName NOTIFY changed)
    Q_PROPERTY(QString managerInstallURL READ managerInstallURL NOTIFY changed)
    Q_PROPERTY(bool isMacPorts READ isMacPorts NOTIFY changed)
    // "Homebrew", "MacPorts" in PackageManager order, for the picker.
    Q_PROPERTY(QStringList managerNames READ managerNames CONSTANT)
    // "Install in Terminal..." under MacPorts, "Install now" otherwise.
    Q_PROPERTY(QString installButtonText READ installButtonText NOTIFY changed)

public:
    explicit OptionsModel(QObject* parent = nullptr);

    const InstallOptions& options() const { return options_; }
    // Emits managerChanged (when it does), then changed; nothing when nothing changes.
    void set(const InstallOptions& options);

    // The time-out field: applies the text when it is a whole number of at least 1
    // (optional sign, digits only); returns whether it was applied.
    Q_INVOKABLE bool applyTimeoutText(const QString& text);

    int packageManagerIndex() const { return static_cast<int>(options_.packageManager.value()); }
    void setPackageManagerIndex(int index);
    bool skipInstalled() const { return options_.skipInstalled; }
    void setSkipInstalled(bool value) { assign(&InstallOptions::skipInstalled, value); }
    bool upgradeIfPresent() const { return options_.upgradeIfPresent; }
    void setUpgradeIfPresent(bool value) { assign(&InstallOptions::upgradeIfPresent, value); }
    bool runUpdateFirst() const { return options_.runUpdateFirst; }
    void setRunUpdateFirst(bool value) { assign(&InstallOptions::runUpdateFirst, value); }
    bool writeLog() const { return options_.writeLog; }
    void setWriteLog(bool value) { assign(&InstallOptions::writeLog, value); }
    qint64 timeoutSeconds() const { return options_.timeoutSeconds; }
    void setTimeoutSeconds(qint64 seconds);
    int existingAppsIndex() const { return static_cast<int>(options_.existingApps); }
    void setExistingAppsIndex(int index);
    bool prefetch() const { return options_.prefetch; }
    void setPrefetch(bool value) { assign(&InstallOptions::prefetch, value); }
    bool quitRunningApps() const { return options_.runningApps == RunningAppPolicy::quit; }
    void setQuitRunningApps(bool value) {
        assign(&InstallOptions::runningApps,
               value ? RunningAppPolicy::quit : RunningAppPolicy::skip);
    }

    QString managerDisplayName() const;
    QString managerInstallURL() const;
    bool isMacPorts() const { return options_.packageManager == PackageManager::macports; }
    QStringList managerNames() const;
    QString installButtonText() const;

Q_SIGNALS:
    void managerChanged();
    void changed();

private:
    // The one setter: the options with this field changed.
    template <typename Field>
    void assign(Field InstallOptions::*field, Field value) {
        InstallOptions options = options_;
        options.*field = value;
        set(options);
    }

    InstallOptions options_;
};

} // namespace cairnmoor
