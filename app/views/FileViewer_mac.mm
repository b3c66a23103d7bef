#include "views/FileViewer.hpp"

#import <AppKit/AppKit.h>

namespace cairnmoor::FileViewer {

void reveal(const std::filesystem::path& file) {
    @autoreleasepool {
        NSString* path = [NSString stringWithUTF8String:file.c_str()];
        if (path == nil) {
            return;
        }
        NSURL* url = [NSURL fileURLWithPath:path];
        [[NSWorkspace sharedWorkspace] activateFileViewerSelectingURLs:@[ url ]];
    }
}

} // namespace cairnmoor::FileViewer
