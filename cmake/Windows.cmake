# The Windows build, cross-compiled with mingw-w64 (cmake/toolchain-*.cmake),
# statically linked (no MinGW libraries to ship) and without Qt. The
# top-level CMakeLists.txt includes this file instead of its own targets
# when the target system is Windows.
#
# Built here: the Win32 operating-system services (platform/win32), the
# virtual drive (emulator), the virtual ASPI library as wnaspi32.dll, and
# their tests on GoogleTest built from Debian's sources, run under Wine.

add_link_options(-static)
set(CMAKE_AUTOMOC OFF)  # no Qt here

find_package(Threads REQUIRED)
include(cmake/ZxLibrary.cmake)

# Windows NT 4.0's API level for the project's own code: a call that a
# Windows of that age lacks must be a decision, not an accident. The test
# framework keeps the compiler's default.
set(ZX_WINDOWS_API _WIN32_WINNT=0x0400 WINVER=0x0400)

# Operating-system services: the Win32 implementations only.
file(GLOB zx_win32_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/win32/*.cpp)
add_library(zx_platform STATIC ${zx_win32_srcs})
target_include_directories(zx_platform PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(zx_platform PRIVATE ${ZX_WINDOWS_API})
target_link_libraries(zx_platform PUBLIC Threads::Threads advapi32 user32)

zx_library(zx_emulator emulator)
target_compile_definitions(zx_emulator PRIVATE ${ZX_WINDOWS_API})
target_link_libraries(zx_emulator PUBLIC Threads::Threads)

# CTest runs the test programs under Wine, in a prefix of this build's own:
# wine64 for the x86_64 build; 32-bit Wine for the i686 one, which needs a
# machine that runs 32-bit code or ZX_WINE_QEMU=1 (README, "Windows").
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(zx_wine ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wine-prefix)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(zx_wine env ZX_WINE_I386=1 ${zx_wine})
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${zx_wine})
endif()

enable_testing()
include(cmake/WindowsTests.cmake)
add_subdirectory(emulator/aspi_module)
