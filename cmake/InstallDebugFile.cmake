# Run at install time (Install.cmake): installs <ZX_BINARY>.debug, the debug
# information split off ZX_BINARY, as lib/debug/.build-id/<xx>/<rest>.debug
# under the prefix, the path by which gdb and coredumpctl find it from the
# build ID that the installed, stripped file still carries.
execute_process(COMMAND "${ZX_READELF}" -n "${ZX_BINARY}" OUTPUT_VARIABLE notes RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
  message(FATAL_ERROR "${ZX_BINARY} has no build ID, so its debug file could not be found once installed")
endif()
file(INSTALL "${ZX_BINARY}.debug" DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/debug/.build-id/${CMAKE_MATCH_1}"
     RENAME "${CMAKE_MATCH_2}.debug" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
