#include "views/ReplaceConfirmation.hpp"

#include <QStringList>

#include <utility>

namespace cairnmoor {

ReplaceConfirmation::ReplaceConfirmation(Proceed proceed, Fail fail, QObject* parent)
    : QObject(parent), proceed_(std::move(proceed)), fail_(std::move(fail)), survey_(*this) {}

QString ReplaceConfirmation::questionFor(const std::vector<PlannedEntry>& replaced) {
    QStringList apps;
    for (const PlannedEntry& entry : replaced) {
        apps.push_back(QStringLiteral("%1 (%2)").arg(
            QString::fromStdString(entry.app.name),
            QString::fromStdString(entry.existing ? entry.existing->path : std::string())));
    }
    if (apps.size() == 1) {
        return QStringLiteral("%1 is on this Mac outside Homebrew. Replace it with Homebrew's "
                              "version?")
            .arg(apps.front());
    }
    return QStringLiteral("%1 apps are on this Mac outside Homebrew: %2. Replace them with "
                          "Homebrew's versions?")
        .arg(QString::number(apps.size()), apps.join(QStringLiteral(", ")));
}

void ReplaceConfirmation::check(std::vector<AppEntry> apps, const InstallOptions& options,
                                const std::string& managerPath) {
    reset();
    survey_.start(std::move(apps), options, managerPath,
                  [this](std::optional<std::vector<PlannedEntry>> plan,
                         const std::string& error) -> BackgroundPlan::Finish {
                      if (!plan) {
                          return [this, error] {
                              Q_EMIT changed();
                              fail_(error);
                          };
                      }
                      std::vector<PlannedEntry> replaced;
                      std::set<std::string> ids;
                      for (PlannedEntry& entry : *plan) {
                          if (entry.action == PlannedAction::replace) {
                              ids.insert(entry.app.id);
                              replaced.push_back(std::move(entry));
                          }
                      }
                      return [this, ids,
                              question = replaced.empty() ? QString() : questionFor(replaced)] {
                          asked_ = ids;
                          question_ = question;
                          Q_EMIT changed();
                          if (question_.isEmpty()) {
                              proceed_(std::set<std::string>());
                          }
                      };
                  });
    Q_EMIT changed();
}

void ReplaceConfirmation::accept() {
    if (question_.isEmpty()) {
        return;
    }
    std::set<std::string> confirmed = std::move(asked_);
    reset();
    proceed_(std::move(confirmed));
}

void ReplaceConfirmation::skipThese() {
    if (question_.isEmpty()) {
        return;
    }
    reset();
    proceed_(std::nullopt);
}

void ReplaceConfirmation::reset() {
    if (!survey_.busy() && question_.isEmpty()) {
        return;
    }
    survey_.stop();
    question_.clear();
    asked_.clear();
    Q_EMIT changed();
}

} // namespace cairnmoor
