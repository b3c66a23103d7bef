#include "views/DesktopNotification.hpp"

#import <AppKit/AppKit.h>
#import <UserNotifications/UserNotifications.h>

namespace cairnmoor::DesktopNotification {

namespace {

NSString* toNSString(const QString& text) {
    NSString* converted = [NSString stringWithUTF8String:text.toUtf8().constData()];
    return converted != nil ? converted : @"";
}

} // namespace

void post(const QString& title, const QString& body) {
    // The notification centre refuses (with an exception) a process that is not an
    // application bundle, such as a test program.
    if ([[NSBundle mainBundle] bundleIdentifier] == nil) {
        return;
    }
    NSString* nsTitle = toNSString(title);
    NSString* nsBody = toNSString(body);
    UNUserNotificationCenter* centre = [UNUserNotificationCenter currentNotificationCenter];
    // The first time, macOS asks the user; later calls answer at once.
    [centre
        requestAuthorizationWithOptions:(UNAuthorizationOptionAlert | UNAuthorizationOptionSound)
                      completionHandler:^(BOOL granted, NSError* _Nullable) {
                        if (!granted) {
                            return;
                        }
                        UNMutableNotificationContent* content =
                            [[UNMutableNotificationContent alloc] init];
#if !__has_feature(objc_arc)
                        [content autorelease];
#endif
                        content.title = nsTitle;
                        content.body = nsBody;
                        content.sound = [UNNotificationSound defaultSound];
                        UNNotificationRequest* request =
                            [UNNotificationRequest requestWithIdentifier:[[NSUUID UUID] UUIDString]
                                                                 content:content
                                                                 trigger:nil];
                        [centre addNotificationRequest:request withCompletionHandler:nil];
                      }];
}

void setBadge(const QString& label) {
    [[NSApp dockTile] setBadgeLabel:(label.isEmpty() ? nil : toNSString(label))];
}

} // namespace cairnmoor::DesktopNotification
