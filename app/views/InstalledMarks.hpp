#pragma once

#include "catalogue/AppEntry.hpp"
#include "managers/PackageManager.hpp"
#include "views/BackgroundPlan.hpp"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace cairnmoor {

// Which catalogue entries are on the Mac already, installed by the manager or found
// outside it, for the marks on the catalogue's rows. The inventory is the plan of every
// entry the manager can install, taken off the UI thread; its marks stay until the next
// inventory of the same manager arrives.
class InstalledMarks : public QObject {
    Q_OBJECT
    // An inventory has arrived for the chosen manager.
    Q_PROPERTY(bool known READ known NOTIFY changed)

public:
    struct Mark {
        bool outside = false;      // found outside the manager, not installed by it
        bool fromAppStore = false; // outside, with an App Store receipt
        std::string path;          // where the app was found outside the manager
    };

    explicit InstalledMarks(QObject* parent = nullptr);

    bool known() const { return manager_.has_value(); }
    // None when the entry is not known to be installed.
    const Mark* find(const std::string& id) const;
    // "Installed" / "Installed outside Homebrew" / "Installed from the App Store", or
    // empty; and the longer text for its tooltip.
    QString text(const std::string& id) const;
    QString help(const std::string& id) const;

    // Takes a new inventory of these entries (those the manager has no name for are
    // left out). The marks of another manager are dropped at once.
    void refresh(const std::vector<const AppEntry*>& entries, PackageManager manager,
                 std::int64_t timeoutSeconds, const std::string& managerPath);
    // No manager: nothing is known, and a survey in progress is dropped.
    void clear();

Q_SIGNALS:
    void changed();

private:
    void set(std::optional<PackageManager> manager, std::unordered_map<std::string, Mark> marks);

    std::optional<PackageManager> manager_;
    std::unordered_map<std::string, Mark> marks_;
    BackgroundPlan survey_;
};

} // namespace cairnmoor
