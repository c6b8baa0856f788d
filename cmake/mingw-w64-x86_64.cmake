# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (the
# posix-threads flavour), run under Wine.
#
#   cmake -S . -B build/windows --toolchain cmake/mingw-w64-x86_64.cmake -DQELMA_BACKEND=win32
#
# Everything is linked statically (libgcc, libstdc++, winpthread), so the
# .exe files need no DLL beyond Windows' own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QELMA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QELMA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QELMA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QELMA_MINGW_PREFIX}-windres)

# Look for headers and libraries in the MinGW sysroot only; programs are the
# build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${QELMA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest and custom commands run the .exe files under Wine. Set WINEPREFIX,
# WINEDEBUG=-all and a display (xvfb-run) in the environment that runs ctest.
find_program(QELMA_WINE NAMES wine wine64)
if(QELMA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QELMA_WINE})
endif()
