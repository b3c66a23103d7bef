# Writes Cairnmoor.app's Info.plist from Info.plist.in. Included by the build; also runs
# as a script so the result can be checked with any values:
#   cmake -DOUTPUT=... -DVERSION=... -DBUILD_DATE=... -DPUBLISHER=... -DIDENTIFIER=...
#         -P InfoPlist.cmake
set(CAIRNMOOR_INFO_PLIST_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/Info.plist.in)

# Values land inside <string> elements: a publisher such as "Fern & Oak" must not
# break the document (macOS would then read no information dictionary at all).
function(cairnmoor_xml_escape out text)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(cairnmoor_write_info_plist output)
    cmake_parse_arguments(ARG "" "VERSION;BUILD_DATE;PUBLISHER;IDENTIFIER;MINIMUM_MACOS" "" ${ARGN})
    foreach(key VERSION BUILD_DATE PUBLISHER IDENTIFIER MINIMUM_MACOS)
        if(NOT DEFINED ARG_${key} OR ARG_${key} STREQUAL "")
            message(FATAL_ERROR "cairnmoor_write_info_plist: ${key} is empty")
        endif()
        cairnmoor_xml_escape(PLIST_${key} "${ARG_${key}}")
    endforeach()
    configure_file(${CAIRNMOOR_INFO_PLIST_TEMPLATE} ${output} @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT MINIMUM_MACOS)
        set(MINIMUM_MACOS "13.0")
    endif()
    cairnmoor_write_info_plist(${OUTPUT} VERSION "${VERSION}" BUILD_DATE "${BUILD_DATE}"
        PUBLISHER "${PUBLISHER}" IDENTIFIER "${IDENTIFIER}" MINIMUM_MACOS "${MINIMUM_MACOS}")
endif()
