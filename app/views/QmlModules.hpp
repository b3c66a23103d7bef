#pragma once

#include <QString>

#include <vector>

class QQmlEngine;

// The QML modules the window loads at run time. No linker sees them, so a machine can
// lack one; the window then refuses to start with one clear message instead of failing
// later (a file dialog without its folder model crashes on Linux).
namespace cairnmoor::QmlModules {

struct Module {
    const char* uri;
    const char* debianPackage;
};

// Everything the views import, and what the file dialogs' own views import.
const std::vector<Module>& required();
// The modules that `engine` cannot import.
std::vector<Module> missing(QQmlEngine& engine, const std::vector<Module>& modules = required());
// One message naming the missing modules (and, on Linux, their Debian packages).
QString message(const std::vector<Module>& missing);

} // namespace cairnmoor::QmlModules
