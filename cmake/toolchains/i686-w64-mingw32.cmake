# 32-bit Windows, cross-built with MinGW-w64 (Debian: g++-mingw-w64-i686, the posix-threads flavour,
# whose std::thread and std::mutex the library and the tests use).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(PALISADE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${PALISADE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PALISADE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PALISADE_MINGW_PREFIX}-windres)

# Libraries and headers come from the MinGW sysroot only, never from the build machine's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${PALISADE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs under Wine when it is there.
find_program(PALISADE_WINE wine)
if(PALISADE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PALISADE_WINE})
endif()
