# 64-bit Windows, cross-built with MinGW-w64 (Debian: g++-mingw-w64-x86-64): the same sources as the
# 32-bit deliverable, for running the tests under 64-bit Wine on machines that cannot run 32-bit code.
set(PALISADE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
# Wine's 64-bit loader (package wine64); Debian does not put it on PATH.
set(PALISADE_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
