#include "views/QmlModules.hpp"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QStringList>

namespace cairnmoor::QmlModules {

const std::vector<Module>& required() {
    static const std::vector<Module> modules = {
        {"QtQuick", "qml6-module-qtquick"},
        {"QtQuick.Window", "qml6-module-qtquick-window"},
        {"QtQuick.Layouts", "qml6-module-qtquick-layouts"},
        {"QtQuick.Templates", "qml6-module-qtquick-templates"},
        {"QtQuick.Controls.Basic", "qml6-module-qtquick-controls"},
        {"QtQuick.Dialogs", "qml6-module-qtquick-dialogs"},
        // Imported by the non-native file dialog, only when it first opens.
        {"Qt.labs.folderlistmodel", "qml6-module-qt-labs-folderlistmodel"},
        {"Qt.labs.platform", "qml6-module-qt-labs-platform"},
    };
    return modules;
}

std::vector<Module> missing(QQmlEngine& engine, const std::vector<Module>& modules) {
    std::vector<Module> result;
    for (const Module& module : modules) {
        QQmlComponent probe(&engine);
        probe.setData(QStringLiteral("import QtQml\nimport %1 as Probe\nQtObject {}\n")
                          .arg(QString::fromUtf8(module.uri))
                          .toUtf8(),
                      QUrl());
        if (probe.isError()) {
            result.push_back(module);
        }
    }
    return result;
}

QString message(const std::vector<Module>& missing) {
    QStringList names;
    for (const Module& module : missing) {
#ifdef __linux__
        names.push_back(
            QStringLiteral("%1 (Debian package %2)")
                .arg(QString::fromUtf8(module.uri), QString::fromUtf8(module.debianPackage)));
#else
        names.push_back(QString::fromUtf8(module.uri));
#endif
    }
    return QStringLiteral("Cairnmoor: the window cannot start because %1 not installed: %2. "
                          "Install %3 and start Cairnmoor again.")
        .arg(missing.size() == 1 ? QStringLiteral("this QML module is")
                                 : QStringLiteral("these QML modules are"),
             names.join(QStringLiteral(", ")),
             missing.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

} // namespace cairnmoor::QmlModules
