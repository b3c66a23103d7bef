#pragma once

#include <filesystem>

namespace cairnmoor {

// The platform's file manager: Finder on macOS; elsewhere the desktop's file manager
// through its D-Bus interface, or the folder opened as a URL when there is none.
namespace FileViewer {

// Shows the file selected in its folder. Does not wait; a failure shows nothing.
void reveal(const std::filesystem::path& file);

} // namespace FileViewer

} // namespace cairnmoor
