# What both Windows toolchains share; the file that includes this sets PALISADE_MINGW_PREFIX,
# CMAKE_SYSTEM_PROCESSOR and PALISADE_WINE_LOADER (the Wine program that runs its executables).
# Debian's posix-threads flavour of MinGW-w64, whose std::thread and std::mutex the library and the
# tests use.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PALISADE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PALISADE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PALISADE_MINGW_PREFIX}-windres)

# Libraries and headers come from the MinGW sysroot only, never from the build machine's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${PALISADE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs under Wine's loader for this architecture (scripts/test-windows
# installs it, and runs ctest only where it can start a program).
set(CMAKE_CROSSCOMPILING_EMULATOR "${PALISADE_WINE_LOADER}")
