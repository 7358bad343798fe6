# Cross build for i686 Windows with mingw-w64 (Debian's g++-mingw-w64-i686-win32).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)
