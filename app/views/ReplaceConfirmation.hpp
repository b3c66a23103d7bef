#pragma once

#include "catalogue/AppEntry.hpp"
#include "install/InstallOptions.hpp"
#include "views/BackgroundPlan.hpp"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cairnmoor {

// Before a run that installs over apps found outside Homebrew: the plan is taken off the
// UI thread and, when it would replace any app, the user is asked, the apps named.
class ReplaceConfirmation : public QObject {
    Q_OBJECT
    // Looking at the Mac before asking.
    Q_PROPERTY(bool checking READ checking NOTIFY changed)
    // The question to answer; empty when there is none.
    Q_PROPERTY(QString question READ question NOTIFY changed)

public:
    // The check passed: the ids of the apps the user agreed to replace (none when nothing
    // would be replaced); none at all when the user chose to leave those apps as they are
    // and install the rest.
    using Proceed = std::function<void(std::optional<std::set<std::string>> confirmed)>;
    // The plan could not be made; the run would fail the same way.
    using Fail = std::function<void(const std::string& error)>;

    ReplaceConfirmation(Proceed proceed, Fail fail, QObject* parent = nullptr);

    bool checking() const { return survey_.busy(); }
    QString question() const { return question_; }

    void check(std::vector<AppEntry> apps, const InstallOptions& options,
               const std::string& managerPath);
    Q_INVOKABLE void accept();
    Q_INVOKABLE void decline() { reset(); }
    // "Skip these and install the rest": the run leaves the apps named as they are.
    Q_INVOKABLE void skipThese();
    // Forgets a check in progress or an unanswered question (the selection or options
    // it was about have changed).
    void reset();

    // "Alpha is on this Mac outside Homebrew (/Applications/Alpha.app). Replace it with
    // Homebrew's version?", or the same for several apps.
    static QString questionFor(const std::vector<PlannedEntry>& replaced);

Q_SIGNALS:
    void changed();

private:
    Proceed proceed_;
    Fail fail_;
    QString question_;
    std::set<std::string> asked_;
    BackgroundPlan survey_;
};

} // namespace cairnmoor
