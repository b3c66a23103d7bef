#include "views/RunNotifier.hpp"

#include "views/CairnmoorViewModel.hpp"
#include "views/DesktopNotification.hpp"

#include <utility>

namespace cairnmoor {

RunNotifier::RunNotifier(CairnmoorViewModel& model, std::function<bool()> inFront, QObject* parent)
    : RunNotifier(model, std::move(inFront), Platform{}, parent) {}

RunNotifier::RunNotifier(CairnmoorViewModel& model, std::function<bool()> inFront,
                         Platform platform, QObject* parent)
    : QObject(parent), model_(model), inFront_(std::move(inFront)), platform_(std::move(platform)) {
    if (!platform_.post) {
        platform_.post = DesktopNotification::post;
    }
    if (!platform_.badge) {
        platform_.badge = DesktopNotification::setBadge;
    }
    connect(model_.installRun(), &InstallRun::runStarted, this,
            [this] { started_ = platform_.clock.now(); });
    connect(model_.installRun(), &InstallRun::runCompleted, this, &RunNotifier::runEnded);
}

void RunNotifier::runEnded() {
    if (platform_.clock.now() - started_ < longRun || inFront_()) {
        return;
    }
    const RunRowModel& rows = *model_.installRun()->runRowModel();
    const int failed = rows.outcomes()[PackageState::Kind::failed];
    platform_.post(QStringLiteral("Cairnmoor: the install has ended"), rows.summary());
    // The badge counts what failed; a check mark says all went well.
    platform_.badge(failed > 0 ? QString::number(failed) : QStringLiteral("✓"));
    badged_ = true;
}

void RunNotifier::windowActivated() {
    if (badged_) {
        platform_.badge(QString());
        badged_ = false;
    }
}

} // namespace cairnmoor
