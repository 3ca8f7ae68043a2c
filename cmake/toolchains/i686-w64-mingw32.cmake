# 32-bit Windows, cross-built with MinGW-w64 (Debian: g++-mingw-w64-i686): the deliverable DLLs.
set(PALISADE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# Wine's 32-bit loader (package wine32:i386), which runs only where the kernel executes 32-bit code.
set(PALISADE_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
