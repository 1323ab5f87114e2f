# Cross-building the Windows programs on Debian with MinGW-w64 (posix threads, for std::thread), run
# under Wine: the tests, gtest's test discovery and the build's own tool runs go through wine64.
# tools/build-qt-windows.sh builds Qt with this file too, so that Qt and the programs share one compiler
# and one runtime. Which programs link that runtime statically: cmake/WindowsPrograms.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KALDO_WINE wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KALDO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KALDO_WINE})
endif()
# gtest lists a program's tests when ctest runs, not at build time: building needs no Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
