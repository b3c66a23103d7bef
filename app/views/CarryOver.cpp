#include "views/CarryOver.hpp"

#include "import/BrewfileReader.hpp"
#include "import/MacCapture.hpp"
#include "managers/PackageManagerError.hpp"
#include "managers/PackageManagerLocator.hpp"
#include "managers/ProcessRunner.hpp"
#include "platform/FileManager.hpp"

#include <QMetaObject>
#include <QUrl>

#include <algorithm>
#include <exception>

namespace cairnmoor {

namespace {

// Real Brewfiles are a few kilobytes; a huge file is refused rather than read whole.
constexpr std::uint64_t maxBrewfileSize = std::uint64_t{16} << 20;
// `brew info` may first refresh Homebrew's own index.
constexpr double checkTimeLimit = 120;

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A dialog gives a URL, a test or a script a path.
std::string localPath(const QString& path) {
    const QUrl url(path);
    return (url.isLocalFile() ? url.toLocalFile() : path).toStdString();
}

QString fileName(const std::string& path) {
    return text(std::filesystem::path(path).filename().string());
}

} // namespace

CarryOver::CarryOver(Owner owner, Checker checker, QObject* parent)
    : QAbstractListModel(parent), owner_(std::move(owner)), checker_(std::move(checker)) {}

CarryOver::~CarryOver() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

CarryOver::Checker CarryOver::brewInfo() {
    return [](const std::string& managerPath, const ProfilePackage& package) -> std::string {
        const std::string kind(ProfilePackage::rawValue(package.kind));
        try {
            ProcessRunner runner;
            const CommandResult result =
                runner.run(managerPath, {"info", "--" + kind, package.name}, checkTimeLimit);
            if (result.timedOut) {
                return "Homebrew did not answer about " + package.name + " in time.";
            }
            if (result.exitCode != 0) {
                return "Homebrew knows no " + kind + " named " + package.name + ".";
            }
            return {};
        } catch (const std::exception& error) {
            return error.what();
        }
    };
}

void CarryOver::setPackages(std::vector<ProfilePackage> packages) {
    beginResetModel();
    packages_ = std::move(packages);
    endResetModel();
    Q_EMIT packagesChanged();
}

std::vector<AppEntry> CarryOver::entries() const {
    Profile profile;
    profile.packages = packages_;
    return profile.packageEntries();
}

void CarryOver::setMessage(QString message) {
    if (message != message_) {
        message_ = std::move(message);
        Q_EMIT messageChanged();
    }
}

void CarryOver::startWork(std::function<std::function<void()>()> work) {
    worker_ = std::thread([this, work = std::move(work)] {
        std::function<void()> after = work();
        // Queued to this object: dropped if it is gone, and the destructor joins us first.
        QMetaObject::invokeMethod(
            this, [this, after = std::move(after)] { finishWork(after); }, Qt::QueuedConnection);
    });
    Q_EMIT busyChanged();
}

void CarryOver::finishWork(const std::function<void()>& after) {
    worker_.join();
    after();
    Q_EMIT busyChanged();
}

void CarryOver::add(const QString& name, const QString& kind) {
    if (busy()) {
        return setMessage(QStringLiteral("Wait until the last step is done."));
    }
    const auto parsed = ProfilePackage::kindFromRawValue(kind.toStdString());
    if (!parsed) {
        return setMessage(QStringLiteral("Choose formula, cask or port."));
    }
    const ProfilePackage package{name.trimmed().toStdString(), *parsed};
    const QString shown = text(package.name);
    if (!package.hasValidName()) {
        return setMessage(QStringLiteral("\u201C%1\u201D is not a valid %2 package name.")
                              .arg(shown, text(std::string(package.manager().displayName()))));
    }
    if (std::find(packages_.begin(), packages_.end(), package) != packages_.end()) {
        return setMessage(QStringLiteral("%1 is in the list already.").arg(shown));
    }
    if (const AppEntry* entry = Profile::catalogueEntry(package, owner_.catalog())) {
        return setMessage(QStringLiteral("%1 is in the catalogue as %2: tick it there.")
                              .arg(shown, text(entry->name)));
    }
    const auto append = [this](const ProfilePackage& accepted) {
        if (std::find(packages_.begin(), packages_.end(), accepted) == packages_.end()) {
            beginInsertRows({}, count(), count());
            packages_.push_back(accepted);
            endInsertRows();
            Q_EMIT packagesChanged();
        }
        setMessage({});
    };
    const auto managerPath = package.kind == ProfilePackage::Kind::port
                                 ? std::nullopt
                                 : owner_.managerPath(PackageManager::homebrew);
    if (!managerPath) {
        // Nothing to ask: the name rules are all there is to check.
        return append(package);
    }
    setMessage(QStringLiteral("Asking Homebrew about %1\u2026").arg(shown));
    startWork([this, checker = checker_, path = *managerPath, package, append] {
        std::string problem;
        try {
            problem = checker(path, package);
        } catch (const std::exception& error) {
            problem = error.what();
        }
        return std::function<void()>([this, package, problem, append] {
            if (problem.empty()) {
                append(package);
            } else {
                setMessage(text(problem));
            }
        });
    });
}

void CarryOver::remove(int row) {
    if (row < 0 || row >= count()) {
        return;
    }
    beginRemoveRows({}, row, row);
    packages_.erase(packages_.begin() + row);
    endRemoveRows();
    Q_EMIT packagesChanged();
}

void CarryOver::importBrewfile(const QString& path) {
    const std::string local = localPath(path);
    Brewfile read;
    try {
        read = BrewfileReader::read(
            FileManager::defaultManager().contentsOfFile(local, maxBrewfileSize));
    } catch (const std::exception& error) {
        return setMessage(
            QStringLiteral("Could not read %1: %2").arg(text(local), text(error.what())));
    }
    Profile profile = Profile::gathering(read.packages, owner_.catalog());
    profile.options = owner_.options();
    try {
        owner_.apply(profile);
    } catch (const PackageManagerError& error) {
        return setMessage(text(error.text()));
    } catch (const std::exception& error) {
        return setMessage(text(error.what()));
    }
    QString summary = QStringLiteral("Imported %1 catalogue apps and %2 other packages from %3.")
                          .arg(profile.apps.size())
                          .arg(profile.packages.size())
                          .arg(fileName(local));
    for (const Brewfile::Unusable& line : read.unusable) {
        summary += QStringLiteral("\nLine %1 not used (%2): %3")
                       .arg(line.line)
                       .arg(text(line.reason), text(line.text));
    }
    for (const Brewfile::Tap& tap : read.taps) {
        summary += QStringLiteral("\nLine %1: the tap %2 is not added or trusted by Cairnmoor.")
                       .arg(tap.line)
                       .arg(text(tap.name));
    }
    setMessage(summary);
}

void CarryOver::captureMac(const QString& path) {
    if (busy()) {
        return setMessage(QStringLiteral("Wait until the last step is done."));
    }
    const PackageManager manager = owner_.options().packageManager;
    const auto managerPath = owner_.managerPath(manager);
    if (!managerPath) {
        return setMessage(text(PackageManagerLocator::notFoundSentence(manager)));
    }
    setMessage(QStringLiteral("Taking this Mac\u2019s inventory\u2026"));
    startWork([this, manager, managerPath = *managerPath, catalog = owner_.catalog(),
               local = localPath(path)] {
        QString outcome;
        try {
            const MacCapture capture =
                MacCapture::take(managerPath, manager, catalog, {}, FileManager::defaultManager());
            capture.profile.write(local);
            outcome = QStringLiteral("Saved %1: %2 catalogue apps, %3 other packages, %4 found "
                                     "outside Homebrew.")
                          .arg(fileName(local))
                          .arg(capture.fromManager.size())
                          .arg(capture.profile.packages.size())
                          .arg(capture.foundOutside.size());
        } catch (const PackageManagerError& error) {
            outcome = QStringLiteral("This Mac was not saved: %1").arg(text(error.text()));
        } catch (const std::exception& error) {
            outcome = QStringLiteral("This Mac was not saved: %1").arg(text(error.what()));
        }
        return std::function<void()>([this, outcome] { setMessage(outcome); });
    });
}

int CarryOver::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant CarryOver::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) {
        return {};
    }
    const ProfilePackage& package = packages_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case NameRole:
    case Qt::DisplayRole:
        return text(package.name);
    case KindRole:
        return text(std::string(ProfilePackage::rawValue(package.kind)));
    default:
        return {};
    }
}

QHash<int, QByteArray> CarryOver::roleNames() const {
    return {{NameRole, "name"}, {KindRole, "kind"}};
}

} // namespace cairnmoor
