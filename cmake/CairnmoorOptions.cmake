# One INTERFACE target carries the language level, warnings and sanitizers;
# every target of the project links it.
add_library(cairnmoor_options INTERFACE)
target_compile_features(cairnmoor_options INTERFACE cxx_std_20)
target_compile_options(cairnmoor_options INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12's optimiser reports overlaps that cannot happen in `"text" + std::string` (a known
# false positive, gone in GCC 13): which line it picks depends on inlining, so only the flag
# helps.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(cairnmoor_options INTERFACE -Wno-restrict)
endif()
# Decided once, at the first configure, and kept in the cache: a later re-configure
# from a shell without CI set must not quietly drop -Werror.
if(DEFINED ENV{CI})
    set(CAIRNMOOR_WERROR_DEFAULT ON)
else()
    set(CAIRNMOOR_WERROR_DEFAULT OFF)
endif()
option(CAIRNMOOR_WERROR "Treat compiler warnings as errors" ${CAIRNMOOR_WERROR_DEFAULT})
if(CAIRNMOOR_WERROR)
    target_compile_options(cairnmoor_options INTERFACE -Werror)
endif()
if(CAIRNMOOR_SANITIZE)
    target_compile_options(cairnmoor_options INTERFACE
        -fsanitize=${CAIRNMOOR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(cairnmoor_options INTERFACE -fsanitize=${CAIRNMOOR_SANITIZE})
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # GCC's flow analysis sees through the sanitizers' instrumentation poorly and
        # reports uninitialised uses inside the standard library (<regex>, <functional>)
        # that plain builds do not; the plain builds keep the warning.
        target_compile_options(cairnmoor_options INTERFACE -Wno-maybe-uninitialized)
    endif()
endif()
if(CAIRNMOOR_FUZZ)
    # Coverage instrumentation everywhere; only the fuzz targets link libFuzzer's main.
    target_compile_options(cairnmoor_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
