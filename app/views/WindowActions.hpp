#pragma once

#include "install/Profile.hpp"
#include "platform/FileManager.hpp"
#include "platform/TerminalLauncher.hpp"

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cairnmoor {

class CairnmoorViewModel;

// The main window's file actions: profiles, exported scripts and Brewfiles, and the
// hand-off of a MacPorts install to Terminal. The file dialogs live in QML and pass the
// chosen path here; failures end in `fileError`, which the window shows as an alert.
class WindowActions : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString fileError READ fileError NOTIFY fileErrorChanged)
    Q_PROPERTY(QString terminalNotice READ terminalNotice NOTIFY terminalNoticeChanged)
    // After a save or export: where the file went ("Profile saved to <path>."), and the
    // file itself for "Show in Finder"; empty until then or once dismissed.
    Q_PROPERTY(QString savedNotice READ savedNotice NOTIFY savedChanged)
    Q_PROPERTY(QString savedPath READ savedPath NOTIFY savedChanged)
    // The profile opened or saved last (its file name; empty: none), and whether the
    // selection or the options differ from it now: for the title bar.
    Q_PROPERTY(QString profileName READ profileName NOTIFY profileChanged)
    Q_PROPERTY(bool profileEdited READ profileEdited NOTIFY profileChanged)

public:
    using TrustCheck = std::function<bool(const std::string& executablePath)>;
    using Launcher = std::function<void(const std::filesystem::path& script,
                                        TerminalLauncher::Completion completion)>;
    // Shows a file in the platform's file manager.
    using Revealer = std::function<void(const std::filesystem::path& file)>;

    // The defaults: the real file system, the MacPorts trust check and Terminal.
    explicit WindowActions(CairnmoorViewModel& model, QObject* parent = nullptr);
    WindowActions(CairnmoorViewModel& model, const FileManager& fileManager, TrustCheck trustCheck,
                  Launcher launcher, QObject* parent = nullptr);

    QString fileError() const { return fileError_; }
    QString terminalNotice() const { return terminalNotice_; }
    QString savedNotice() const { return savedNotice_; }
    QString savedPath() const { return savedPath_; }
    QString profileName() const { return profileName_; }
    bool profileEdited() const { return profileEdited_; }
    void setRevealer(Revealer revealer) { revealer_ = std::move(revealer); }

    // Each takes the path (or file URL) the user chose in the dialog.
    Q_INVOKABLE void openProfile(const QString& path);
    Q_INVOKABLE void saveProfile(const QString& path);
    Q_INVOKABLE void exportShellScript(const QString& path);
    Q_INVOKABLE void exportBrewfile(const QString& path);
    // Before the save dialog of the Terminal hand-off: false (with the alert set) when no
    // trusted MacPorts was located, so the dialog is not shown.
    Q_INVOKABLE bool prepareTerminalHandOff();
    // Re-checks the executable, writes the script and asks Terminal to open it.
    Q_INVOKABLE void installInTerminal(const QString& path);
    Q_INVOKABLE void dismissError();
    // Shows the last saved file in Finder (the file manager elsewhere).
    Q_INVOKABLE void revealSaved() const;
    Q_INVOKABLE void dismissSaved();

    // Whether a save would replace a file (the path or file URL a dialog chose).
    Q_INVOKABLE bool fileExists(const QString& pathOrUrl) const;
    // The question before replacing that file, naming its whole path.
    Q_INVOKABLE static QString replaceQuestion(const QString& pathOrUrl);
    // A path or file URL from a dialog as a local path.
    static std::filesystem::path localPath(const QString& pathOrUrl);

Q_SIGNALS:
    void fileErrorChanged();
    void terminalNoticeChanged();
    void savedChanged();
    void profileChanged();

private:
    void setFileError(const QString& text);
    void setTerminalNotice(const QString& text);
    void setSaved(const QString& what, const std::filesystem::path& file);
    QString unknownIdsExplained(const std::vector<std::string>& ids) const;
    // The window's choice now is that of this file.
    void followProfile(const std::filesystem::path& file);
    void refreshProfileEdited();
    void writeScript(const std::filesystem::path& file,
                     const std::optional<std::string>& executablePath) const;

    CairnmoorViewModel& model_;
    const FileManager& fileManager_;
    TrustCheck trustCheck_;
    Launcher launcher_;
    QString fileError_;
    QString terminalNotice_;
    QString savedNotice_;
    QString savedPath_;
    Revealer revealer_;
    QString profileName_;
    std::optional<Profile> profile_;
    bool profileEdited_ = false;
};

} // namespace cairnmoor
