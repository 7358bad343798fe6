# The Windows build, cross-compiled with mingw-w64 (cmake/toolchain-*.cmake),
# statically linked (no MinGW libraries to ship) and without Qt: the window
# toolkit takes its Win32 back-end (app/toolkit/win32). The top-level
# CMakeLists.txt includes this file first
# when the target system is Windows; the libraries and tests are the same as
# on Linux, except that each takes the Win32 folders (platform/win32/,
# app/toolkit/win32/, app/entry/win32/, tests/platform/win32/) in place of
# the Linux and Qt ones.

set(CMAKE_AUTOMOC OFF)
add_link_options(-static)

# Windows NT 4.0's API level for the project's own platform code: a call
# that a Windows of that age lacks must be a decision, not an accident.
set(ZX_WINDOWS_API _WIN32_WINNT=0x0400 WINVER=0x0400)

# The platform's Win32 implementations (platform/win32/, chosen by the
# top-level CMakeLists.txt) at the project's API level.
function(zx_use_win32_platform target)
  target_compile_definitions(${target} PRIVATE ${ZX_WINDOWS_API})
  target_link_libraries(${target} PUBLIC advapi32 user32)
endfunction()

# The toolkit's Win32 back-end: the common controls (progress bar), the
# common dialogs, GDI for the font; Internet Explorer 4's common controls
# are the level that Windows 98 and NT 4.0 have.
function(zx_use_win32_toolkit target)
  target_compile_definitions(${target} PRIVATE ${ZX_WINDOWS_API} _WIN32_IE=0x0400)
  target_link_libraries(${target} PUBLIC comctl32 comdlg32 gdi32 user32)
endfunction()

# GoogleTest from Debian's sources (package googletest), built for the
# target; it names its libraries GTest::gtest, GTest::gmock_main and so on.
set(ZX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its Notification is made of std::mutex and std::condition_variable, which
# the win32 thread model lacks: every user of GoogleTest takes the
# replacement, as GoogleTest itself does.
target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
target_compile_options(gtest PUBLIC
  "SHELL:-include ${PROJECT_SOURCE_DIR}/tests/support/gtest_notification_win32.h")

# CTest runs the test programs under Wine, in a prefix of this build's own,
# through the 64-bit loader for both builds; the i686 one needs 32-bit Wine
# (scripts/install-wine32.sh; README, "Windows").
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wine-prefix)
endif()

# The programs' resources (icon, version information, manifest) come from
# app/entry/win32/resources/program.rc.in, compiled by windres from UTF-8.
enable_language(RC)
set(ZX_WINDOWS_ICON ${PROJECT_SOURCE_DIR}/data/windows/zorvex-flash.ico)

# zx_win32_resources(<target> LEVEL <execution level> EN <description> JA <description>)
# Links the resources of the program <target>.exe into it; LEVEL is the
# manifest's requestedExecutionLevel.
function(zx_win32_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 ZX_RC "" "LEVEL;EN;JA" "")
  set(ZX_RC_NAME ${target})
  set(ZX_RC_EXECUTION_LEVEL ${ZX_RC_LEVEL})
  set(ZX_RC_DESCRIPTION_EN ${ZX_RC_EN})
  set(ZX_RC_DESCRIPTION_JA ${ZX_RC_JA})
  set(ZX_RC_ICON ${ZX_WINDOWS_ICON})
  set(ZX_RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  string(REPLACE "." "," ZX_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(in ${PROJECT_SOURCE_DIR}/app/entry/win32/resources)
  configure_file(${in}/program.manifest.in ${ZX_RC_MANIFEST} @ONLY)
  configure_file(${in}/program.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  # windres does not report what a script names, so name it here.
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}.rc PROPERTIES
    OBJECT_DEPENDS "${ZX_RC_ICON};${ZX_RC_MANIFEST}")
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()

# Strips <target> after each link, keeping its symbols in <file>.debug
# beside it with a debug link to them: what an executable without an
# appended container gets of ZX_STRIP_BARE (the others are stripped before
# the append, in zx_append_container).
function(zx_win32_strip_keeping_symbols target)
  set(file $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_STRIP} --strip-all ${file}
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=${file}.debug ${file}
    COMMENT "Stripping ${target}, its symbols kept in ${target}.exe.debug"
    VERBATIM)
endfunction()

# An executable exports nothing on Windows (the virtual ASPI library has its
# own event table there), yet ENABLE_EXPORTS makes CMake declare an import
# library lib<name>.dll.a that the linker never writes, so Ninja relinks
# every such program on every build. Once all targets exist, switch it off.
function(zx_win32_no_executable_exports dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      set_target_properties(${target} PROPERTIES ENABLE_EXPORTS OFF)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    zx_win32_no_executable_exports(${subdir})
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL zx_win32_no_executable_exports ${PROJECT_SOURCE_DIR})

# The i686 programs and libraries each take the replacements of
# platform/win32/runtime/win9x_runtime.cpp for the calls that the compiler's runtime
# imports and Windows 95/98/Me lack; as an object of their own, not from an
# archive, since the linker meets the runtime's references only after every
# archive of the project.
function(zx_win32_runtime_replacements dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|MODULE_LIBRARY|SHARED_LIBRARY)$")
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/win32/runtime/win9x_runtime.cpp)
      target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    zx_win32_runtime_replacements(${subdir})
  endforeach()
endfunction()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL zx_win32_runtime_replacements ${PROJECT_SOURCE_DIR})
endif()
