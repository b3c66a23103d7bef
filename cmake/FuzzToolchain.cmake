# Compilers for the fuzz preset: LLVM's clang, which ships libFuzzer. Apple's clang does not,
# so on macOS this takes Homebrew's LLVM (brew install llvm) and says so when it is missing;
# CI fuzzes on Linux.
if(CMAKE_HOST_APPLE)
    find_program(CAIRNMOOR_LLVM_CLANGXX clang++ NO_DEFAULT_PATH
        HINTS "$ENV{HOMEBREW_PREFIX}/opt/llvm/bin" /opt/homebrew/opt/llvm/bin /usr/local/opt/llvm/bin)
    if(NOT CAIRNMOOR_LLVM_CLANGXX)
        message(FATAL_ERROR "Fuzzing needs LLVM's clang with libFuzzer, which Apple's clang "
            "lacks: brew install llvm (or run the fuzz targets on Linux)")
    endif()
    get_filename_component(llvm_bin "${CAIRNMOOR_LLVM_CLANGXX}" DIRECTORY)
    get_filename_component(llvm_lib "${llvm_bin}/../lib" ABSOLUTE)
    set(CMAKE_C_COMPILER "${llvm_bin}/clang")
    set(CMAKE_CXX_COMPILER "${llvm_bin}/clang++")
    # Homebrew's clang compiles against its own libc++ headers; linking the system's older
    # libc++ then misses symbols, so link (and run) against LLVM's own, as its caveats say.
    set(CMAKE_EXE_LINKER_FLAGS_INIT
        "-L${llvm_lib}/c++ -Wl,-rpath,${llvm_lib}/c++ -L${llvm_lib}/unwind -lunwind")
else()
    set(CMAKE_C_COMPILER clang)
    set(CMAKE_CXX_COMPILER clang++)
endif()
