# Builds GoogleTest from its sources inside the build tree and answers find_package(GTest)
# with it. For builds whose standard library differs from the one the installed GoogleTest
# was compiled against: Debian's libgtest is built for libstdc++, so a clang + libc++ build
# cannot link it. Loaded through CMAKE_PROJECT_TOP_LEVEL_INCLUDES (see the clang-libcxx
# preset), so the project's own find_package(GTest) stays as it is.
set(CAIRNMOOR_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH
    "GoogleTest sources to build the tests against (Debian package googletest)")

macro(cairnmoor_googletest_from_source method package)
    if("${package}" STREQUAL "GTest")
        if(NOT TARGET GTest::gtest)
            if(NOT EXISTS "${CAIRNMOOR_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
                message(FATAL_ERROR "No GoogleTest sources in ${CAIRNMOOR_GOOGLETEST_SOURCE_DIR}: "
                    "install them (scripts/setup.sh) or set CAIRNMOOR_GOOGLETEST_SOURCE_DIR")
            endif()
            set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
            set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
            add_subdirectory(${CAIRNMOOR_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest
                EXCLUDE_FROM_ALL)
            # Its headers are someone else's code: keep them out of our warnings.
            foreach(target gtest gmock)
                get_target_property(directories ${target} INTERFACE_INCLUDE_DIRECTORIES)
                set_target_properties(${target} PROPERTIES
                    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${directories}")
            endforeach()
        endif()
        set(GTest_FOUND TRUE)
    endif()
endmacro()

cmake_language(SET_DEPENDENCY_PROVIDER cairnmoor_googletest_from_source
    SUPPORTED_METHODS FIND_PACKAGE)
