#include "views/WindowActions.hpp"

#include "export/ScriptExporter.hpp"
#include "install/Profile.hpp"
#include "managers/MacPortsExecutable.hpp"
#include "managers/PackageManagerError.hpp"
#include "platform/DecodingError.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/FileViewer.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <set>

namespace cairnmoor {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString describe(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

QString cannotOpen(const std::filesystem::path& file) {
    return QStringLiteral("Could not open “") + fromUtf8(file.filename().string()) +
           QStringLiteral("”: ");
}

// What a decoder's detail means for a profile, in the user's words.
QString decodingProblem(const std::string& detail) {
    static const std::string missingKey = "No value associated with key \"";
    if (detail == "The given data was not valid JSON.") {
        return QStringLiteral("It is not a Cairnmoor profile: the file is not JSON text.");
    }
    if (detail.starts_with(missingKey)) {
        const std::string key = detail.substr(
            missingKey.size(), detail.find('"', missingKey.size()) - missingKey.size());
        return QStringLiteral("The entry “") + fromUtf8(key) + QStringLiteral("” is missing.");
    }
    if (detail == "Timeout must be positive.") {
        return QStringLiteral("Its per-package timeout must be 1 second or more.");
    }
    return QStringLiteral("In detail: ") + fromUtf8(detail);
}

} // namespace

// The identifiers the catalogue lacks, and those it has without a macOS package, by name.
QString WindowActions::unknownIdsExplained(const std::vector<std::string>& ids) const {
    QStringList unknown;
    QStringList notForMac;
    for (const std::string& id : std::set<std::string>(ids.begin(), ids.end())) {
        const auto& apps = model_.catalog().apps;
        const auto entry = std::find_if(apps.begin(), apps.end(),
                                        [&id](const AppEntry& app) { return app.id == id; });
        if (entry == apps.end()) {
            unknown << fromUtf8(id);
        } else if (!entry->macos) {
            notForMac << fromUtf8(entry->name) + QStringLiteral(" (") + fromUtf8(id) +
                             QLatin1Char(')');
        }
    }
    QString text;
    if (!unknown.isEmpty()) {
        text += QStringLiteral(" Not in the catalogue: ") + unknown.join(QStringLiteral(", ")) +
                QLatin1Char('.');
    }
    if (!notForMac.isEmpty()) {
        text += QStringLiteral(" Without a macOS package: ") +
                notForMac.join(QStringLiteral(", ")) + QLatin1Char('.');
    }
    return text;
}

WindowActions::WindowActions(CairnmoorViewModel& model, QObject* parent)
    : WindowActions(
          model, FileManager::defaultManager(),
          [](const std::string& path) {
              return MacPortsExecutable::isTrusted(path, FileManager::defaultManager());
          },
          [](const std::filesystem::path& script, TerminalLauncher::Completion completion) {
              TerminalLauncher::open(script, std::move(completion));
          },
          parent) {}

WindowActions::WindowActions(CairnmoorViewModel& model, const FileManager& fileManager,
                             TrustCheck trustCheck, Launcher launcher, QObject* parent)
    : QObject(parent), model_(model), fileManager_(fileManager), trustCheck_(std::move(trustCheck)),
      launcher_(std::move(launcher)), revealer_(FileViewer::reveal) {
    connect(&model_, &CairnmoorViewModel::selectedIdsChanged, this,
            &WindowActions::refreshProfileEdited);
    connect(model_.optionsModel(), &OptionsModel::changed, this,
            &WindowActions::refreshProfileEdited);
}

void WindowActions::followProfile(const std::filesystem::path& file) {
    profile_ = model_.currentProfile();
    profileName_ = fromUtf8(file.filename().string());
    profileEdited_ = false;
    Q_EMIT profileChanged();
}

void WindowActions::refreshProfileEdited() {
    if (!profile_) {
        return;
    }
    const Profile now = model_.currentProfile();
    const bool edited = now.apps != profile_->apps || !(now.options == profile_->options);
    if (edited != profileEdited_) {
        profileEdited_ = edited;
        Q_EMIT profileChanged();
    }
}

std::filesystem::path WindowActions::localPath(const QString& pathOrUrl) {
    const QString local =
        pathOrUrl.startsWith(QStringLiteral("file:")) ? QUrl(pathOrUrl).toLocalFile() : pathOrUrl;
    const QByteArray bytes = local.toUtf8();
    return std::filesystem::path(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

bool WindowActions::fileExists(const QString& pathOrUrl) const {
    return fileManager_.fileExists(localPath(pathOrUrl));
}

QString WindowActions::replaceQuestion(const QString& pathOrUrl) {
    return QStringLiteral("“") + fromUtf8(localPath(pathOrUrl).string()) +
           QStringLiteral("” already exists. Do you want to replace it?");
}

void WindowActions::openProfile(const QString& path) {
    const std::filesystem::path file = localPath(path);
    Profile profile;
    try {
        profile = Profile::load(file, fileManager_);
        model_.loadProfile(profile);
        followProfile(file);
    } catch (const DecodingError& error) {
        setFileError(cannotOpen(file) + describe(error) + QLatin1Char(' ') +
                     decodingProblem(error.debugDescription()));
        return;
    } catch (const PackageManagerError& error) {
        setFileError(cannotOpen(file) + describe(error) + unknownIdsExplained(profile.apps));
        return;
    } catch (const std::exception& error) {
        setFileError(cannotOpen(file) + describe(error));
    }
}

void WindowActions::saveProfile(const QString& path) {
    try {
        model_.currentProfile().write(localPath(path), fileManager_);
        setSaved(QStringLiteral("Profile saved to "), localPath(path));
        followProfile(localPath(path));
    } catch (const std::exception& error) {
        setFileError(describe(error));
    }
}

void WindowActions::writeScript(const std::filesystem::path& file,
                                const std::optional<std::string>& executablePath) const {
    const std::vector<AppEntry> apps = model_.selectedApps();
    model_.options().packageManager.validate(apps);
    fileManager_.writeAtomically(
        file, ScriptExporter::shellScript(apps, model_.options(), executablePath));
    // The script runs package installs; nobody but its owner may change or run it.
    fileManager_.setPosixPermissions(file, 0700);
}

void WindowActions::exportShellScript(const QString& path) {
    try {
        writeScript(localPath(path), std::nullopt);
        setSaved(QStringLiteral("Script exported to "), localPath(path));
    } catch (const std::exception& error) {
        setFileError(describe(error));
    }
}

void WindowActions::exportBrewfile(const QString& path) {
    try {
        fileManager_.writeAtomically(localPath(path),
                                     ScriptExporter::brewfile(model_.selectedApps()));
        setSaved(QStringLiteral("Brewfile exported to "), localPath(path));
    } catch (const std::exception& error) {
        setFileError(describe(error));
    }
}

bool WindowActions::prepareTerminalHandOff() {
    if (!model_.managerPath()) {
        setFileError(QStringLiteral("A trusted MacPorts installation at /opt/local/bin/port is "
                                    "required. Install it from macports.org."));
        return false;
    }
    return true;
}

void WindowActions::installInTerminal(const QString& path) {
    const std::optional<std::string> executable = model_.managerPath();
    if (!executable) {
        prepareTerminalHandOff();
        return;
    }
    const std::filesystem::path script = localPath(path);
    try {
        // The executable may have changed since it was located; check it again.
        if (!trustCheck_(*executable)) {
            throw PackageManagerError::commandFailed(
                "MacPorts failed its executable trust check; refusing to open the installer.");
        }
        writeScript(script, executable);
    } catch (const std::exception& error) {
        setFileError(describe(error));
        return;
    }

    QPointer<WindowActions> self(this);
    launcher_(script, [self, script](const std::optional<std::string>& error) {
        const QString errorText = error ? fromUtf8(*error) : QString();
        const QString scriptPath = fromUtf8(script.string());
        // Back on the interface thread; the window may have gone meanwhile.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, errorText, scriptPath] {
                if (!self) {
                    return;
                }
                if (!errorText.isEmpty()) {
                    self->setFileError(errorText);
                } else {
                    self->setTerminalNotice(QStringLiteral("Script opened in Terminal: ") +
                                            scriptPath +
                                            QStringLiteral(". Check Terminal for success or "
                                                           "failure."));
                }
            },
            Qt::QueuedConnection);
    });
}

void WindowActions::dismissError() {
    setFileError(QString());
}

void WindowActions::revealSaved() const {
    if (!savedPath_.isEmpty() && revealer_) {
        revealer_(localPath(savedPath_));
    }
}

void WindowActions::dismissSaved() {
    savedNotice_.clear();
    savedPath_.clear();
    Q_EMIT savedChanged();
}

void WindowActions::setSaved(const QString& what, const std::filesystem::path& file) {
    savedPath_ = fromUtf8(file.string());
    savedNotice_ = what + savedPath_ + QLatin1Char('.');
    Q_EMIT savedChanged();
}

void WindowActions::setFileError(const QString& text) {
    // A failure is the last word: no earlier save's confirmation stays beside it.
    if (!text.isEmpty() && !savedPath_.isEmpty()) {
        dismissSaved();
    }
    if (fileError_ == text) {
        return;
    }
    fileError_ = text;
    Q_EMIT fileErrorChanged();
}

void WindowActions::setTerminalNotice(const QString& text) {
    terminalNotice_ = text;
    Q_EMIT terminalNoticeChanged();
}

} // namespace cairnmoor
