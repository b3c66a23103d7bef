# One INTERFACE target carries the language level, warnings and sanitizers;
# every target of the project links it.
add_library(cairnmoor_options INTERFACE)
target_compile_features(cairnmoor_options INTERFACE cxx_std_20)
target_compile_options(cairnmoor_options INTERFACE -Wall -Wextra -Wpedantic)
if(DEFINED ENV{CI})
    target_compile_options(cairnmoor_options INTERFACE -Werror)
endif()
if(CAIRNMOOR_SANITIZE)
    target_compile_options(cairnmoor_options INTERFACE
        -fsanitize=${CAIRNMOOR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(cairnmoor_options INTERFACE -fsanitize=${CAIRNMOOR_SANITIZE})
endif()
if(CAIRNMOOR_FUZZ)
    # Coverage instrumentation everywhere; only the fuzz targets link libFuzzer's main.
    target_compile_options(cairnmoor_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
