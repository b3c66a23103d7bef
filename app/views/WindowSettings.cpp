#include "views/WindowSettings.hpp"

#include "install/Profile.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace cairnmoor {

namespace fs = std::filesystem;

namespace {

QString fromPath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

QString dialogKey(const QString& dialog) {
    return QStringLiteral("dialogs/") + dialog;
}

} // namespace

fs::path WindowSettings::defaultPath(const FileManager& fileManager) {
    const std::vector<fs::path> support = fileManager.applicationSupportDirectories();
    if (!support.empty()) {
        return support.front() / "Cairnmoor" / "Settings.ini";
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path base = config != nullptr && fs::path(config).is_absolute()
                              ? fs::path(config)
                              : fileManager.homeDirectory() / ".config";
    return base / "Cairnmoor" / "Settings.ini";
}

WindowSettings::WindowSettings(const FileManager& fileManager, QObject* parent)
    : QObject(parent), fileManager_(fileManager),
      settings_(
          std::make_unique<QSettings>(fromPath(defaultPath(fileManager)), QSettings::IniFormat)) {}

WindowSettings::~WindowSettings() {
    sync();
}

fs::path WindowSettings::path() const {
    return WindowActions::localPath(settings_->fileName());
}

void WindowSettings::sync() {
    settings_->sync();
}

QString WindowSettings::dialogFolder(const QString& dialog) const {
    const QString kept = settings_->value(dialogKey(dialog)).toString();
    if (!kept.isEmpty() && QFileInfo(kept).isDir()) {
        return QUrl::fromLocalFile(kept).toString();
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = fromPath(fileManager_.homeDirectory());
    }
    return QUrl::fromLocalFile(folder).toString();
}

void WindowSettings::rememberDialogFolder(const QString& dialog, const QString& file) {
    const fs::path folder = WindowActions::localPath(file).parent_path();
    if (!folder.empty()) {
        settings_->setValue(dialogKey(dialog), fromPath(folder));
    }
}

void WindowSettings::restoreGeometry(QWindow& window) const {
    QRect frame = settings_->value(QStringLiteral("window/geometry")).toRect();
    if (frame.isValid()) {
        frame.setWidth(std::max(frame.width(), window.minimumWidth()));
        frame.setHeight(std::max(frame.height(), window.minimumHeight()));
        // Its screen may be gone (a display unplugged): then centred on the primary one.
        QScreen* primary = QGuiApplication::primaryScreen();
        if (QGuiApplication::screenAt(frame.topLeft()) == nullptr && primary != nullptr) {
            const QRect room = primary->availableGeometry();
            frame.moveCenter(room.center());
            frame.moveTopLeft(
                {std::max(frame.left(), room.left()), std::max(frame.top(), room.top())});
        }
        window.setGeometry(frame);
    }
    if (settings_->value(QStringLiteral("window/maximized")).toBool()) {
        window.setWindowStates(Qt::WindowMaximized);
    }
}

void WindowSettings::saveChoice(const CairnmoorViewModel& model) {
    try {
        settings_->setValue(QStringLiteral("choice/profile"),
                            QString::fromStdString(model.currentProfile().toData()));
    } catch (const std::exception&) {
        // A text that is not UTF-8 cannot be kept; the last choice kept stays.
    }
}

void WindowSettings::restoreChoice(CairnmoorViewModel& model) const {
    const QString kept = settings_->value(QStringLiteral("choice/profile")).toString();
    if (kept.isEmpty()) {
        return;
    }
    try {
        Profile profile = Profile::decode(kept.toStdString());
        const std::vector<AppEntry> offered = model.catalog().macApps();
        std::erase_if(profile.apps, [&offered](const std::string& id) {
            return std::none_of(offered.begin(), offered.end(),
                                [&id](const AppEntry& app) { return app.id == id; });
        });
        model.loadProfile(profile);
    } catch (const std::exception&) {
        // A damaged file starts the window as new.
    }
}

void WindowSettings::saveGeometry(const QWindow& window) {
    const bool maximized = (window.windowStates() & Qt::WindowMaximized) != 0;
    settings_->setValue(QStringLiteral("window/maximized"), maximized);
    // A maximised window's frame says nothing of the size to come back to.
    if (!maximized && (window.windowStates() & Qt::WindowFullScreen) == 0) {
        settings_->setValue(QStringLiteral("window/geometry"), window.geometry());
    }
}

} // namespace cairnmoor
