# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (GCC, posix
# thread model, so std::thread and std::mutex work): scripts/build-windows
# passes it as CMAKE_TOOLCHAIN_FILE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QALESSON_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QALESSON_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QALESSON_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QALESSON_MINGW_TRIPLE}-windres)
set(CMAKE_AR /usr/bin/${QALESSON_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${QALESSON_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# Headers, libraries and CMake packages from the target's sysroot only (and
# from the prefixes a build adds: GoogleTest built for mingw, the cross-built
# Qt of scripts/windows-qt, whose own toolchain file loads this one and adds
# its folder); programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${QALESSON_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the test programs through Wine, headless, in a prefix of the
# test run's own (scripts/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# libgcc, libstdc++ and winpthread linked in: a program runs without any
# MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
