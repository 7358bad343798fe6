# Every .cpp of a folder (not its sub-folders) forms one static library, so a
# new file needs no edit here.
function(zx_library name folder)
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

function(zx_add_sources name)
  foreach(folder IN LISTS ARGN)
    file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    target_sources(${name} PRIVATE ${srcs})
  endforeach()
endfunction()

# One test program per test folder; each TEST becomes a CTest case.
function(zx_test_folder name folder)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARGN})
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  # A cross build lists its tests when CTest runs (under the emulator), so
  # that building needs no emulator.
  set(mode POST_BUILD)
  if(CMAKE_CROSSCOMPILING)
    set(mode PRE_TEST)
  endif()
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZX_BUILD_DIR=${PROJECT_BINARY_DIR}"
    DISCOVERY_MODE ${mode}
    DISCOVERY_TIMEOUT 120)
endfunction()
