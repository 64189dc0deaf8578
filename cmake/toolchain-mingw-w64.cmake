# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (POSIX thread model, so that
# std::thread, std::jthread and std::stop_token work). Programs are linked statically: they run
# with no DLL beside them, on Windows or under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TILLSTREAM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TILLSTREAM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TILLSTREAM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TILLSTREAM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TILLSTREAM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs and benchmarks run under Wine through this wrapper (ctest, add_custom_command).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
