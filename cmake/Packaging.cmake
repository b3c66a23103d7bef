# Installing and packaging Cairnmoor.
#
#   Linux:  <prefix>/bin/Cairnmoor
#           <prefix>/share/cairnmoor/Cairnmoor_CairnmoorCore.bundle/catalog.json
#           <prefix>/share/applications/cairnmoor.desktop and its icon in
#           share/icons/hicolor/scalable/apps (with the window)
#           <prefix>/share/doc/cairnmoor/README.md
#           packages: .tar.gz and .deb
#   macOS:  <prefix>/Cairnmoor.app with Contents/MacOS/Cairnmoor, the resource bundle and
#           the icon in Contents/Resources, and Info.plist; Qt and every other library that
#           is not part of macOS go into Contents/Frameworks, then the app is signed inside out
#           (packaging/macos/MacBundle.cmake)
#           package: drag-and-drop .dmg named after the architecture, signed and notarized
#           when a Developer ID and a notary profile are configured
#
# The executable finds its catalogue relative to itself (Linux: the prefix above bin/;
# macOS: the app's Contents/Resources), so an installed or unpacked tree runs anywhere.

set(CAIRNMOOR_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(CAIRNMOOR_CATALOGUE_SOURCE ${CMAKE_SOURCE_DIR}/CairnmoorCore/resources/catalog.json)
get_directory_property(CAIRNMOOR_BUILD_DATE DIRECTORY ${CMAKE_SOURCE_DIR}/CairnmoorCore
    DEFINITION CAIRNMOOR_BUILD_DATE)

option(CAIRNMOOR_BUNDLE_LIBRARIES
    "macOS: copy Qt and every other library that is not part of macOS into Cairnmoor.app on install" ON)
set(CAIRNMOOR_CODESIGN_IDENTITY "-" CACHE STRING
    "macOS: identity that signs the app and the .dmg: '-' signs ad hoc; a Developer ID Application identity signs with the hardened runtime and a timestamp")
set(CAIRNMOOR_NOTARY_PROFILE "" CACHE STRING
    "macOS: notarytool keychain profile; when set, cpack has the .dmg notarized and staples it")

# The app bundle's Info.plist carries what BuildInfo reads on macOS: the version from
# project(), the build date the core library was configured with, the publisher. It is
# generated on every platform so that its content can be checked anywhere.
include(${CAIRNMOOR_PACKAGING_DIR}/InfoPlist.cmake)
set(CAIRNMOOR_MINIMUM_MACOS "${CMAKE_OSX_DEPLOYMENT_TARGET}")
cairnmoor_write_info_plist(${CMAKE_BINARY_DIR}/packaging/Info.plist
    VERSION "${PROJECT_VERSION}"
    BUILD_DATE "${CAIRNMOOR_BUILD_DATE}"
    PUBLISHER "${CAIRNMOOR_PUBLISHER}"
    IDENTIFIER "${CAIRNMOOR_BUNDLE_IDENTIFIER}"
    MINIMUM_MACOS "${CAIRNMOOR_MINIMUM_MACOS}")

if(APPLE)
    set_target_properties(Cairnmoor PROPERTIES
        MACOSX_BUNDLE TRUE
        MACOSX_BUNDLE_INFO_PLIST ${CMAKE_BINARY_DIR}/packaging/Info.plist)
    # The resource bundle goes inside the app at build time already, so the build tree's
    # Cairnmoor.app finds its catalogue exactly as the installed one does.
    target_sources(Cairnmoor PRIVATE ${CAIRNMOOR_CATALOGUE_SOURCE})
    set_source_files_properties(${CAIRNMOOR_CATALOGUE_SOURCE}
        TARGET_DIRECTORY Cairnmoor
        PROPERTIES MACOSX_PACKAGE_LOCATION "Resources/${CAIRNMOOR_RESOURCE_BUNDLE}")
    # The icon Info.plist names (CFBundleIconFile), made from packaging/icon/cairnmoor.svg.
    target_sources(Cairnmoor PRIVATE ${CAIRNMOOR_PACKAGING_DIR}/icon/cairnmoor.icns)
    set_source_files_properties(${CAIRNMOOR_PACKAGING_DIR}/icon/cairnmoor.icns
        TARGET_DIRECTORY Cairnmoor PROPERTIES MACOSX_PACKAGE_LOCATION Resources)

    install(TARGETS Cairnmoor BUNDLE DESTINATION . COMPONENT Runtime)

    set(CAIRNMOOR_MACDEPLOYQT "")
    set(CAIRNMOOR_QT_LIBRARY_DIRS "")
    set(CAIRNMOOR_QML_MODULES "")
    set(CAIRNMOOR_QML_DEPLOY_DIR "")
    if(CAIRNMOOR_BUNDLE_LIBRARIES)
        # The installed app finds its libraries in its own Contents/Frameworks, never the
        # build machine's.
        set_target_properties(Cairnmoor PROPERTIES INSTALL_RPATH "@executable_path/../Frameworks")
        if(TARGET cairnmoor_views)
            find_package(Qt6 6.4 REQUIRED COMPONENTS Core)
            if(TARGET Qt6::macdeployqt)
                set(CAIRNMOOR_MACDEPLOYQT "$<TARGET_FILE:Qt6::macdeployqt>")
            else()
                find_program(CAIRNMOOR_MACDEPLOYQT_PROGRAM macdeployqt
                    HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" REQUIRED)
                set(CAIRNMOOR_MACDEPLOYQT "${CAIRNMOOR_MACDEPLOYQT_PROGRAM}")
            endif()
            # Qt's @rpath install names are resolved against the Qt we linked, whose modules
            # may sit in separate prefixes (Homebrew installs each in its own keg).
            foreach(module Core Gui Qml Quick QuickControls2)
                if(TARGET Qt6::${module})
                    get_target_property(location Qt6::${module} LOCATION)
                    if(location MATCHES "^(.*)/[^/]+\\.framework(/|$)")
                        set(directory "${CMAKE_MATCH_1}")
                    else()
                        get_filename_component(directory "${location}" DIRECTORY)
                    endif()
                    file(REAL_PATH "${directory}" real)
                    list(APPEND CAIRNMOOR_QT_LIBRARY_DIRS "${directory}" "${real}")
                endif()
            endforeach()
            list(REMOVE_DUPLICATES CAIRNMOOR_QT_LIBRARY_DIRS)
            # Every QML module the window requires (QmlModules.cpp), also those our QML
            # imports only through another module's files, such as Qt.labs.folderlistmodel
            # behind the file dialog: macdeployqt scans this file besides our views and
            # deploys each, and the install checks that each arrived.
            file(STRINGS ${CMAKE_SOURCE_DIR}/app/views/QmlModules.cpp lines
                REGEX "^ *{\"[A-Za-z.]+\", \"qml6-module-")
            set(CAIRNMOOR_QML_MODULES)
            set(imports "import QtQml\n")
            foreach(line IN LISTS lines)
                string(REGEX MATCH "{\"([A-Za-z.]+)\"" ignored "${line}")
                list(APPEND CAIRNMOOR_QML_MODULES "${CMAKE_MATCH_1}")
                string(APPEND imports "import ${CMAKE_MATCH_1}\n")
            endforeach()
            if(NOT "Qt.labs.folderlistmodel" IN_LIST CAIRNMOOR_QML_MODULES)
                message(FATAL_ERROR "the QML modules could not be read from QmlModules.cpp")
            endif()
            set(CAIRNMOOR_QML_DEPLOY_DIR ${CMAKE_BINARY_DIR}/packaging/qml-imports)
            file(WRITE ${CAIRNMOOR_QML_DEPLOY_DIR}/Imports.qml "${imports}QtObject {}\n")
        endif()
    else()
        # Homebrew's formula: the libraries stay where Homebrew keeps them.
        set_target_properties(Cairnmoor PROPERTIES INSTALL_RPATH_USE_LINK_PATH TRUE)
    endif()
    configure_file(${CAIRNMOOR_PACKAGING_DIR}/macos/install_app.cmake.in
        ${CMAKE_BINARY_DIR}/packaging/install_app.cmake.in @ONLY)
    # A second pass resolves the macdeployqt generator expression.
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packaging/install_app.cmake
        INPUT ${CMAKE_BINARY_DIR}/packaging/install_app.cmake.in)
    install(SCRIPT ${CMAKE_BINARY_DIR}/packaging/install_app.cmake COMPONENT Runtime)
else()
    install(TARGETS Cairnmoor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
    # Bundle::main() looks in <prefix>/share/cairnmoor, so this path is not negotiable:
    # it must not follow CMAKE_INSTALL_DATADIR if a packager moves that elsewhere.
    install(FILES ${CAIRNMOOR_CATALOGUE_SOURCE}
        DESTINATION share/cairnmoor/${CAIRNMOOR_RESOURCE_BUNDLE} COMPONENT Runtime)
    if(TARGET cairnmoor_views)
        install(FILES ${CAIRNMOOR_PACKAGING_DIR}/cairnmoor.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT Runtime)
        install(FILES ${CAIRNMOOR_PACKAGING_DIR}/icon/cairnmoor.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT Runtime)
    endif()
    install(FILES ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/cairnmoor COMPONENT Runtime)
endif()

# ---- CPack ------------------------------------------------------------------------

set(CPACK_PACKAGE_NAME "cairnmoor")
set(CPACK_PACKAGE_VENDOR "${CAIRNMOOR_PUBLISHER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Bulk app installer for macOS: a curated catalogue installed with Homebrew or MacPorts")
set(CPACK_PACKAGE_HOMEPAGE_URL "${CAIRNMOOR_TOOLS_URL}")
set(CPACK_PACKAGE_CONTACT "${CAIRNMOOR_PUBLISHER} <cairnmoor@${CAIRNMOOR_PUBLISHER_DOMAIN}>")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

if(APPLE)
    set(CPACK_GENERATOR "DragNDrop")
    # The .dmg says which Macs it is for: arm64, x86_64, or universal when built for both
    # (CMAKE_OSX_ARCHITECTURES "arm64;x86_64", which needs a universal Qt and libraries).
    set(architectures ${CMAKE_OSX_ARCHITECTURES})
    if(NOT architectures)
        set(architectures ${CMAKE_SYSTEM_PROCESSOR})
    endif()
    list(REMOVE_DUPLICATES architectures)
    list(LENGTH architectures count)
    if(count GREATER 1)
        set(architectures universal)
    endif()
    set(CPACK_PACKAGE_FILE_NAME "Cairnmoor-${PROJECT_VERSION}-macOS-${architectures}")
    configure_file(${CAIRNMOOR_PACKAGING_DIR}/macos/finish_dmg.cmake.in
        ${CMAKE_BINARY_DIR}/packaging/finish_dmg.cmake @ONLY)
    set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/packaging/finish_dmg.cmake)
    set(CPACK_DMG_VOLUME_NAME "Cairnmoor ${PROJECT_VERSION}")
    set(CPACK_DMG_FORMAT "UDZO")
    # The window beside an Applications link: drag one onto the other.
    set(CPACK_DMG_DISABLE_APPLICATIONS_SYMLINK OFF)
else()
    set(CPACK_GENERATOR "TGZ;DEB")
    set(CPACK_PACKAGE_FILE_NAME
        "cairnmoor-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")

    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
    set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
    # Linked libraries (Qt, libssl, libutf8proc, libstdc++) come from dpkg-shlibdeps.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    if(TARGET cairnmoor_views)
        # QML modules and the platform plugins are loaded at run time, so no linker
        # dependency names them; without them the window does not open.
        set(CPACK_DEBIAN_PACKAGE_DEPENDS
            "qt6-qpa-plugins, qml6-module-qtquick, qml6-module-qtquick-controls, \
qml6-module-qtquick-layouts, qml6-module-qtquick-dialogs, qml6-module-qtquick-window, \
qml6-module-qtquick-templates, qml6-module-qtqml-workerscript, qml6-module-qt-labs-platform, \
qml6-module-qt-labs-folderlistmodel")
    endif()
endif()

# Source archive: what the Homebrew formula builds from (cpack --config CPackSourceConfig.cmake).
set(CPACK_SOURCE_GENERATOR "TGZ")
set(CPACK_SOURCE_PACKAGE_FILE_NAME "cairnmoor-${PROJECT_VERSION}")
# Patterns are matched against absolute paths, so folders are anchored at the source
# tree: a checkout that itself sits under some ".../build/..." must not lose everything.
string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" CAIRNMOOR_SOURCE_REGEX "${CMAKE_SOURCE_DIR}")
string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" CAIRNMOOR_BINARY_REGEX "${CMAKE_BINARY_DIR}")
set(CPACK_SOURCE_IGNORE_FILES
    "^${CAIRNMOOR_SOURCE_REGEX}/build/" "^${CAIRNMOOR_SOURCE_REGEX}/\\.git(/|$)"
    "^${CAIRNMOOR_SOURCE_REGEX}/\\.cache/" "^${CAIRNMOOR_BINARY_REGEX}/"
    "/compile_commands\\.json$" "\\.swp$" "~$")

include(CPack)

# The source archive and a Homebrew formula that builds from it (packaging/cairnmoor.rb
# with url and sha256 filled in), written to <build>/packaging/cairnmoor.rb.
add_custom_target(homebrew_formula
    COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackSourceConfig.cmake
    COMMAND ${CMAKE_COMMAND}
        -DFORMULA=${CAIRNMOOR_PACKAGING_DIR}/cairnmoor.rb
        -DARCHIVE=${CMAKE_BINARY_DIR}/${CPACK_SOURCE_PACKAGE_FILE_NAME}.tar.gz
        -DOUTPUT=${CMAKE_BINARY_DIR}/packaging/cairnmoor.rb
        -P ${CAIRNMOOR_PACKAGING_DIR}/stamp_formula.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Making the source archive and its Homebrew formula"
    VERBATIM)

if(CAIRNMOOR_TESTS)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/packaging ${CMAKE_BINARY_DIR}/tests/packaging)
endif()
