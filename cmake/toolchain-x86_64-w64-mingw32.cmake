# Cross build for x86_64 Windows with mingw-w64 (Debian's g++-mingw-w64-x86-64-posix).
# The posix thread model: GCC 12's win32 model has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZX_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${ZX_MINGW_PREFIX}-dlltool)
# The -posix compiler names hide the prefix from CMake's own search.
set(CMAKE_OBJCOPY ${ZX_MINGW_PREFIX}-objcopy)
set(CMAKE_STRIP ${ZX_MINGW_PREFIX}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${ZX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
