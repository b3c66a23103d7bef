#pragma once

#include "platform/FileManager.hpp"

#include <QObject>
#include <QString>

#include <filesystem>
#include <memory>

class QSettings;
class QWindow;

namespace cairnmoor {

class CairnmoorViewModel;

// What the window keeps between launches: its size and place, the folder each file
// dialog last used, and the user's choice (the selection and the options, the manager
// among them). One INI file, found from the home directory (so a test's temporary
// HOME holds it): "Cairnmoor/Settings.ini" in the user's Application Support folder, and
// where the platform has none, in the XDG configuration folder.
class WindowSettings : public QObject {
    Q_OBJECT

public:
    explicit WindowSettings(const FileManager& fileManager = FileManager::defaultManager(),
                            QObject* parent = nullptr);
    ~WindowSettings() override;

    static std::filesystem::path defaultPath(const FileManager& fileManager);
    std::filesystem::path path() const;

    // The folder (as a URL) where this dialog was last used, while it still exists;
    // otherwise the Documents folder, or the home folder when there is none.
    Q_INVOKABLE QString dialogFolder(const QString& dialog) const;
    // Keeps the folder of the file (path or URL) the dialog handed over.
    Q_INVOKABLE void rememberDialogFolder(const QString& dialog, const QString& file);

    // Gives the window its last size (never below its minimum) and place (on a screen
    // that is there now); nothing when none was kept.
    void restoreGeometry(QWindow& window) const;
    void saveGeometry(const QWindow& window);

    // The choice as a profile; restoring drops what the catalogue no longer offers and
    // leaves the model as it is when nothing (or nothing readable) was kept.
    void saveChoice(const CairnmoorViewModel& model);
    void restoreChoice(CairnmoorViewModel& model) const;

    // Writes what changed to the file now.
    void sync();

private:
    const FileManager& fileManager_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace cairnmoor
