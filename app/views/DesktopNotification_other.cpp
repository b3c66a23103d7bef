#include "views/DesktopNotification.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>

namespace cairnmoor::DesktopNotification {

void post(const QString& title, const QString& body) {
    // The freedesktop.org notification service (org.freedesktop.Notifications.Notify).
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QGuiApplication::applicationName() << 0U << QString() << title << body << QStringList()
         << QVariantMap() << -1;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.asyncCall(call);
    }
}

void setBadge(const QString&) {
    // Desktops outside macOS have no common badge on an application's icon.
}

} // namespace cairnmoor::DesktopNotification
