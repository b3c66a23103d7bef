#pragma once

class QWindow;

// Gives the main window its one fixed dark look at the platform level. On macOS, on Qt's
// cocoa platform (offscreen windows are left alone): the dark appearance whatever the
// system setting, the theme's background colour and, when `hidesTitleBar`, content that
// reaches under a transparent, title-less title bar, with the window movable by its
// background. Elsewhere the system's title bar stays as it is.
namespace cairnmoor::WindowConfigurator {

// Safe to call again; does nothing for a window that has no platform window yet.
void configure(QWindow& window, bool hidesTitleBar);

} // namespace cairnmoor::WindowConfigurator
