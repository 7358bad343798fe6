# Cross build for Windows with mingw-w64, for the processor and compiler prefix
# that the file including this one sets (toolchain-<prefix>.cmake).
# The win32 thread model: no winpthreads is linked, whose imports (GetTickCount64
# and others) would keep the programs off Windows 98 and NT 4.0. GCC 12's
# library then has no std::thread, std::mutex or std::condition_variable:
# the project takes those from platform/ (thread.h, lock.h).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZX_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZX_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${ZX_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${ZX_MINGW_PREFIX}-dlltool)
# The -win32 compiler names hide the prefix from CMake's own search.
set(CMAKE_OBJCOPY ${ZX_MINGW_PREFIX}-objcopy)
set(CMAKE_STRIP ${ZX_MINGW_PREFIX}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${ZX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
