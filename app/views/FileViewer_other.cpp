#include "views/FileViewer.hpp"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace cairnmoor::FileViewer {

void reveal(const std::filesystem::path& file) {
    const QUrl fileUrl = QUrl::fromLocalFile(QString::fromStdString(file.string()));
    const QUrl folderUrl = QUrl::fromLocalFile(QString::fromStdString(file.parent_path().string()));
    // The freedesktop.org file-manager interface selects the file; without a file manager
    // that offers it, the folder is opened instead.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUrl.toString()} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folderUrl);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folderUrl](QDBusPendingCallWatcher* done) {
                         if (QDBusPendingReply<> reply = *done; reply.isError()) {
                             QDesktopServices::openUrl(folderUrl);
                         }
                         done->deleteLater();
                     });
}

} // namespace cairnmoor::FileViewer
