# SPDX-License-Identifier: MIT
# CMake toolchain file: 32-bit Windows (i686) with Debian's MinGW-w64 cross
# compilers (g++-mingw-w64-i686), programs run under Wine (wine32).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
#
# The posix thread model of the compilers is used: the win32 one of GCC 12
# has no std::thread, which the tests use. Everything the programs and the
# DLL need from GCC (libgcc, libstdc++, winpthreads) is linked statically,
# so they load with only the system DLLs (msvcrt.dll and kernel32.dll).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TABULIX_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Prefix of the cross tools")
set(CMAKE_C_COMPILER ${TABULIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TABULIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TABULIX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TABULIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)

# CLI11 is header-only, so the build machine's copy serves (for the tool).
# Its package names its prefix /usr, whose C headers would come before
# MinGW-w64's: it is found through a prefix of links in the build tree.
get_property(_tblx_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT _tblx_in_try_compile AND NOT DEFINED CLI11_DIR
   AND EXISTS /usr/share/cmake/CLI11/CLI11Config.cmake AND IS_DIRECTORY /usr/include/CLI)
  set(_tblx_links ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${_tblx_links}/include ${_tblx_links}/share/cmake)
  file(CREATE_LINK /usr/include/CLI ${_tblx_links}/include/CLI SYMBOLIC)
  file(CREATE_LINK /usr/share/cmake/CLI11 ${_tblx_links}/share/cmake/CLI11 SYMBOLIC)
  set(CLI11_DIR ${_tblx_links}/share/cmake/CLI11 CACHE PATH "CLI11's package, for the tool")
endif()

# Tests and test discovery run the cross-built programs through Wine: quiet,
# without the Mono and Gecko installers (no display to show them on), and in
# a prefix of the build tree unless WINEPREFIX names one.
find_program(TABULIX_WINE wine)
if(TABULIX_WINE)
  if(DEFINED ENV{WINEPREFIX})
    set(TABULIX_WINEPREFIX $ENV{WINEPREFIX})
  else()
    set(TABULIX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${TABULIX_WINEPREFIX}
    WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${TABULIX_WINE})
endif()
