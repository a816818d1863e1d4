# Cross-compiling for Windows with Debian's MinGW-w64 (the POSIX thread model, for std::thread).
# Included by mingw-w64-x86_64.cmake and mingw-w64-i686.cmake, which set MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run under Wine when it is installed, unless DALVEX_RUN_UNDER_WINE is OFF (a
# kernel without 32-bit support cannot run 32-bit Wine even where it is installed).
find_program(DALVEX_WINE NAMES ${MINGW_WINE} PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(DALVEX_WINE AND NOT DALVEX_RUN_UNDER_WINE STREQUAL "OFF")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DALVEX_WINE})
endif()
