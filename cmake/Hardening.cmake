# The Linux build's hardening and debug information, as Debian builds its own
# packages, without relying on dpkg-buildflags: a plain `cmake --build` or
# CPack gets them too. Optimised configurations only: _FORTIFY_SOURCE needs
# optimisation, and the Debug and sanitizer builds keep their plain flags.
#
# The debug information goes into the separate .debug files (zx_split_debug in
# tools/CMakeLists.txt)
# and from there into the -dbgsym package (Install.cmake). Its paths name no
# build folder, so that two builds from two folders make the same files.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

# The executables are position-independent (linked with -pie).
check_pie_supported(LANGUAGES CXX)

set(zx_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
set(zx_hardening_compile -fstack-protector-strong)
# A packager's own _FORTIFY_SOURCE level (dpkg-buildflags) stays as given.
if(NOT "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_RELEASE}" MATCHES "_FORTIFY_SOURCE")
  list(APPEND zx_hardening_compile -D_FORTIFY_SOURCE=2)
endif()
foreach(flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "ZX_HAS${flag}" have)
  check_cxx_compiler_flag(${flag} ${have})
  if(${have})
    list(APPEND zx_hardening_compile ${flag})
  endif()
endforeach()

if(NOT ZX_SANITIZE)
  add_compile_options("$<${zx_optimised}:${zx_hardening_compile}>")
  add_link_options("$<${zx_optimised}:-Wl,-z,relro,-z,now>")
endif()

# Debug information in every optimised build, with the source and build
# folders mapped away (macros such as __FILE__ included).
add_compile_options("$<${zx_optimised}:-g>"
  "$<${zx_optimised}:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
  "$<${zx_optimised}:-ffile-prefix-map=${PROJECT_BINARY_DIR}=.>")
