# The Windows build, cross-compiled with mingw-w64 (cmake/toolchain-*.cmake),
# statically linked (no MinGW libraries to ship) and without Qt: the window
# toolkit takes its Win32 back-end (app/toolkit/win32). The top-level
# CMakeLists.txt includes this file first
# when the target system is Windows; the libraries and tests are the same as
# on Linux, except that zx_platform and its tests take the Win32
# implementations (platform/win32/) in place of the Linux ones.

set(CMAKE_AUTOMOC OFF)
add_link_options(-static)

# Windows NT 4.0's API level for the project's own platform code: a call
# that a Windows of that age lacks must be a decision, not an accident.
set(ZX_WINDOWS_API _WIN32_WINNT=0x0400 WINVER=0x0400)

# The Linux implementations in platform/ and their tests, each replaced by
# its counterpart in platform/win32/ and tests/platform/win32/.
set(ZX_LINUX_PLATFORM_SOURCES
  dl_library_loader.cpp event.cpp exit_process.cpp file_sync.cpp library_worker.cpp read_only_file.cpp termination_requests.cpp
  removal_on_signal.cpp
  linux_system_info.cpp sg_device_layer.cpp thread.cpp)
set(ZX_LINUX_PLATFORM_TESTS dl_library_loader_test.cpp linux_system_info_test.cpp sg_device_layer_test.cpp)
list(APPEND ZX_LINUX_PLATFORM_SOURCES sg_node_holder.cpp)

# Swaps the Linux sources of `target` (files of `folder` named in the list
# `linux`) for every .cpp of `folder`/win32.
function(zx_win32_sources target folder linux)
  get_target_property(srcs ${target} SOURCES)
  foreach(name IN LISTS ${linux})
    list(REMOVE_ITEM srcs ${folder}/${name})
  endforeach()
  file(GLOB win32 CONFIGURE_DEPENDS ${folder}/win32/*.cpp)
  set_property(TARGET ${target} PROPERTY SOURCES ${srcs} ${win32})
  target_compile_definitions(${target} PRIVATE ${ZX_WINDOWS_API})
endfunction()

function(zx_use_win32_platform target)
  zx_win32_sources(${target} ${PROJECT_SOURCE_DIR}/platform ZX_LINUX_PLATFORM_SOURCES)
  target_link_libraries(${target} PUBLIC advapi32 user32)
endfunction()

# The toolkit's Win32 back-end: the common controls (progress bar), the
# common dialogs, GDI for the font; Internet Explorer 4's common controls
# are the level that Windows 98 and NT 4.0 have.
function(zx_use_win32_toolkit target)
  target_compile_definitions(${target} PRIVATE ${ZX_WINDOWS_API} _WIN32_IE=0x0400)
  target_link_libraries(${target} PUBLIC comctl32 comdlg32 gdi32 user32)
endfunction()

function(zx_use_win32_platform_tests target)
  zx_win32_sources(${target} ${PROJECT_SOURCE_DIR}/tests/platform ZX_LINUX_PLATFORM_TESTS)
endfunction()

# GoogleTest from Debian's sources (package googletest), built for the
# target; it names its libraries GTest::gtest, GTest::gmock_main and so on.
set(ZX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

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
