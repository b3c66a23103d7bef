#include "views/InstalledMarks.hpp"

#include <utility>

namespace cairnmoor {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

InstalledMarks::InstalledMarks(QObject* parent) : QObject(parent), survey_(*this) {}

const InstalledMarks::Mark* InstalledMarks::find(const std::string& id) const {
    const auto found = marks_.find(id);
    return found == marks_.end() ? nullptr : &found->second;
}

QString InstalledMarks::text(const std::string& id) const {
    const Mark* mark = find(id);
    if (mark == nullptr) {
        return {};
    }
    if (!mark->outside) {
        return QStringLiteral("Installed");
    }
    return mark->fromAppStore ? QStringLiteral("Installed from the App Store")
                              : QStringLiteral("Installed outside ") + qs(manager_->displayName());
}

QString InstalledMarks::help(const std::string& id) const {
    const Mark* mark = find(id);
    if (mark == nullptr) {
        return {};
    }
    const QString manager = qs(manager_->displayName());
    if (!mark->outside) {
        return QStringLiteral("Installed with ") + manager;
    }
    return QStringLiteral("Found at %1; %2 did not install it%3")
        .arg(QString::fromStdString(mark->path), manager,
             mark->fromAppStore ? QStringLiteral(" and leaves App Store apps alone") : QString());
}

void InstalledMarks::refresh(const std::vector<const AppEntry*>& entries, PackageManager manager,
                             std::int64_t timeoutSeconds, const std::string& managerPath) {
    if (manager_ && *manager_ != manager) {
        set(std::nullopt, {});
    }
    // Only what the plan reads: the whole entries of a large catalogue would cost the UI
    // thread a copy of every text.
    std::vector<AppEntry> apps;
    apps.reserve(entries.size());
    for (const AppEntry* entry : entries) {
        if (manager.token(*entry)) {
            AppEntry& app = apps.emplace_back();
            app.id = entry->id;
            app.macos = entry->macos;
        }
    }
    // What is there decides the marks; nothing would be installed or upgraded.
    InstallOptions options;
    options.packageManager = manager;
    options.skipInstalled = true;
    options.upgradeIfPresent = false;
    options.existingApps = ExistingApps::skip;
    options.timeoutSeconds = timeoutSeconds;
    survey_.start(
        std::move(apps), options, managerPath,
        [this, manager](std::optional<std::vector<PlannedEntry>> plan,
                        const std::string&) -> BackgroundPlan::Finish {
            if (!plan) {
                // Marks that may be out of date would mislead: show none.
                return [this] { set(std::nullopt, {}); };
            }
            std::unordered_map<std::string, Mark> marks;
            for (const PlannedEntry& entry : *plan) {
                if (entry.action == PlannedAction::alreadyInstalled) {
                    marks.emplace(entry.app.id, Mark{});
                } else if (entry.action == PlannedAction::installedOutside && entry.existing) {
                    marks.emplace(entry.app.id,
                                  Mark{true, entry.existing->fromAppStore, entry.existing->path});
                }
            }
            return [this, manager, marks = std::move(marks)]() mutable {
                set(manager, std::move(marks));
            };
        });
}

void InstalledMarks::clear() {
    survey_.stop();
    set(std::nullopt, {});
}

void InstalledMarks::set(std::optional<PackageManager> manager,
                         std::unordered_map<std::string, Mark> marks) {
    if (!manager && !manager_ && marks_.empty()) {
        return;
    }
    manager_ = manager;
    marks_ = std::move(marks);
    Q_EMIT changed();
}

} // namespace cairnmoor
