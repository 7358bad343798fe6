# The test programs of the Windows build (see cmake/Windows.cmake).

set(ZX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# One test program from the given sources; each TEST becomes a CTest case,
# listed when CTest runs (listing needs Wine, building does not).
function(zx_windows_test name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "ZX_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

set(tests ${PROJECT_SOURCE_DIR}/tests)

file(GLOB platform_srcs CONFIGURE_DEPENDS ${tests}/platform/win32/*.cpp)
zx_windows_test(tests_platform
  SOURCES ${tests}/platform/event_test.cpp ${tests}/platform/os_thread_test.cpp ${platform_srcs}
  LIBRARIES gmock_main zx_platform)
target_compile_definitions(tests_platform PRIVATE ${ZX_WINDOWS_API})

file(GLOB emulator_srcs CONFIGURE_DEPENDS ${tests}/emulator/*.cpp)
zx_windows_test(tests_emulator SOURCES ${emulator_srcs} LIBRARIES gmock_main zx_emulator)
