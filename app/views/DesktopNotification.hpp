#pragma once

#include <QString>

namespace cairnmoor {

// The platform's user notifications: the Notification Center and the Dock's badge on
// macOS; elsewhere the desktop's notification service over D-Bus, and no badge. Neither
// waits, and a missing service or a refused permission shows nothing.
namespace DesktopNotification {

void post(const QString& title, const QString& body);
// An empty label takes the badge away.
void setBadge(const QString& label);

} // namespace DesktopNotification

} // namespace cairnmoor
