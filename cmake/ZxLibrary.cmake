# zx_include_view(<target> PUBLIC|PRIVATE <folder or header>...): <target>
# sees, under their usual names, the headers of the given folders (not of
# their sub-folders) and the single headers given, and nothing else of the
# tree: a view folder in the build tree holds links to just those. With
# each library's own folder PUBLIC and its per-system folder PRIVATE, an
# include from a layer above or beside, or of another system's folder,
# fails to compile (scripts/check-layers.sh is the second guard).
function(zx_include_view target scope)
  set(view ${PROJECT_BINARY_DIR}/include_views/${target}/${scope})
  # Emptied once per configure, so that a header or folder taken off the
  # list leaves no link behind.
  get_property(emptied GLOBAL PROPERTY ZX_EMPTIED_VIEWS)
  if(NOT view IN_LIST emptied)
    file(REMOVE_RECURSE ${view})
    set_property(GLOBAL APPEND PROPERTY ZX_EMPTIED_VIEWS ${view})
  endif()
  foreach(entry IN LISTS ARGN)
    if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${entry})
      file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${entry}/*.h)
    else()
      set(headers ${entry})
    endif()
    foreach(header IN LISTS headers)
      get_filename_component(folder ${view}/${header} DIRECTORY)
      file(MAKE_DIRECTORY ${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${header} ${view}/${header} SYMBOLIC)
    endforeach()
  endforeach()
  target_include_directories(${target} ${scope} ${view})
endfunction()

# Every .cpp of the given folders (not their sub-folders) forms one static
# library, so a new file needs no edit here. The first folder is the
# library's interface, which its users see; the others (the per-system
# implementations) only the library itself.
function(zx_library name interface)
  set(srcs)
  foreach(folder IN ITEMS ${interface} LISTS ARGN)
    file(GLOB folder_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND srcs ${folder_srcs})
  endforeach()
  add_library(${name} STATIC ${srcs})
  zx_include_view(${name} PUBLIC ${interface})
  if(ARGN)
    zx_include_view(${name} PRIVATE ${ARGN})
  endif()
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
# A build whose tests run only in part (the i686 one, under 32-bit Wine)
# names the test programs it builds by default; the others are built when
# asked for by name.
set(ZX_TEST_PROGRAMS "" CACHE STRING "The test programs built by default; empty: all")
function(zx_test_folder name folder)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/${ZX_SYSTEM}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  # A test may reach into whatever it tests.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARGN})
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  if(ZX_TEST_PROGRAMS AND NOT name IN_LIST ZX_TEST_PROGRAMS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
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
