#include "views/WindowConfigurator.hpp"

#include <QGuiApplication>
#include <QWindow>

#import <AppKit/AppKit.h>

namespace cairnmoor::WindowConfigurator {

void configure(QWindow& window, bool hidesTitleBar) {
    // Only Cocoa's window ids are NSViews; offscreen and minimal number their windows, so
    // sending them a message would crash.
    if (QGuiApplication::platformName() != QLatin1String("cocoa")) {
        return;
    }
    @autoreleasepool {
        // On macOS a QWindow's native handle is its NSView; its window may not exist yet.
        NSView* view = (__bridge NSView*)reinterpret_cast<void*>(window.winId());
        NSWindow* nsWindow = view != nil ? [view window] : nil;
        if (nsWindow == nil) {
            return;
        }
        nsWindow.appearance = [NSAppearance appearanceNamed:NSAppearanceNameDarkAqua];
        // The theme's background, 4, 6, 15.
        nsWindow.backgroundColor = [NSColor colorWithSRGBRed:4.0 / 255.0
                                                       green:6.0 / 255.0
                                                        blue:15.0 / 255.0
                                                       alpha:1.0];
        if (hidesTitleBar) {
            nsWindow.styleMask |= NSWindowStyleMaskFullSizeContentView;
            nsWindow.titlebarAppearsTransparent = YES;
            nsWindow.titleVisibility = NSWindowTitleHidden;
            nsWindow.movableByWindowBackground = YES;
        }
    }
}

} // namespace cairnmoor::WindowConfigurator
