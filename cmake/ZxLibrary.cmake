# Every .cpp of the given folders (not their sub-folders) forms one static
# library, so a new file needs no edit here.
function(zx_library name)
  set(srcs)
  foreach(folder IN LISTS ARGN)
    file(GLOB folder_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND srcs ${folder_srcs})
  endforeach()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

function(zx_add_sources name)
  foreach(folder IN LISTS ARGN)
    file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    target_sources(${name} PRIVATE ${srcs})
  endforeach()
endfunction()

# One test program per test folder, with the tests of this system's
# implementations from its sub-folder named after the system (linux, win32). Natively each TEST becomes a CTest case.
# A cross build runs its programs under an emulator (Wine), where a process
# start costs far more than most cases: there each program is a few CTest
# tests (GoogleTest's shards, every case in exactly one), each naming its
# failing cases in its output.
set(ZX_CROSS_TEST_SHARDS 2)
function(zx_test_folder name folder)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/${ZX_SYSTEM}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARGN})
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  set(environment "QT_QPA_PLATFORM=offscreen;ZX_BUILD_DIR=${PROJECT_BINARY_DIR}")
  if(CMAKE_CROSSCOMPILING)
    math(EXPR last "${ZX_CROSS_TEST_SHARDS} - 1")
    foreach(shard RANGE ${last})
      add_test(NAME ${name}.${shard} COMMAND ${name} --gtest_brief=1)
      set_tests_properties(${name}.${shard} PROPERTIES ENVIRONMENT
        "${environment};GTEST_TOTAL_SHARDS=${ZX_CROSS_TEST_SHARDS};GTEST_SHARD_INDEX=${shard}")
    endforeach()
    return()
  endif()
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "${environment}"
    DISCOVERY_MODE POST_BUILD
    DISCOVERY_TIMEOUT 120)
endfunction()
