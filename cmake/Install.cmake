# Install rules and the Debian package.
#
#   cmake --install <build> [--prefix DIR] [--strip]
#   cpack --config <build>/CPackConfig.cmake -G DEB
#
# The product and the demo end in a firmware container appended after the
# link (ZxLibrary.cmake). Anything that rewrites an ELF file from its
# sections (strip, objcopy, dwz) drops the container, so both are installed
# as plain files with install(PROGRAMS), which neither `--strip` nor CPack
# touches; they were stripped before the container was appended when
# ZX_STRIP_BARE is on. zx-pack and the virtual ASPI library carry nothing
# appended and are installed as targets; Release builds have stripped them
# after their link already.
include(GNUInstallDirs)

# Two packages: the program (component runtime) and its debug information
# (component dbgsym), which Release builds keep apart (zx_split_debug in
# tools/CMakeLists.txt).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
set(ZX_HOMEPAGE "https://zorvexflash.org/")
set(ZX_BUG_URL "https://zorvexflash.org/issues")
set(ZX_BUG_MAIL "maintainers@zorvexflash.org")
set(ZX_CONTACT "The Zorvex Firmware Flash Utility developers <${ZX_BUG_MAIL}>")

set(ZX_DESKTOP_ID org.zorvexflash.FlashUtility)
set(ZX_PACKAGE_NAME zorvex-flash)
set(ZX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${ZX_PACKAGE_NAME})
# The demo's virtual ASPI library; the demo finds it relative to its own
# folder, so the installed tree may be moved anywhere.
set(ZX_DEMO_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/zorvex-flash-demo)
file(RELATIVE_PATH ZX_DEMO_MODULE_RELATIVE ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/zorvex-flash-demo)

install(TARGETS zx-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(ZX_MAN_PAGES zx-pack)
set(ZX_SPLIT_BINARIES zx-pack)
# The trace reader is a Linux tool (the Windows download has the program alone).
if(TARGET zx-trace)
  install(TARGETS zx-trace RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND ZX_MAN_PAGES zx-trace)
  list(APPEND ZX_SPLIT_BINARIES zx-trace)
endif()
# A core build (ZX_WITH_WINDOW=OFF) has the packer alone.
if(TARGET zorvex-flash)
  target_compile_definitions(zorvex-flash-demo PRIVATE ZX_ASPI_INSTALLED_DIR="${ZX_DEMO_MODULE_RELATIVE}")
  install(PROGRAMS $<TARGET_FILE:zorvex-flash> $<TARGET_FILE:zorvex-flash-demo>
          DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS zx_aspi_good LIBRARY DESTINATION ${ZX_DEMO_MODULE_DIR})
  install(FILES data/${ZX_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/${ZX_DESKTOP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 32 48 64 128 256)
    install(FILES data/icons/window-${size}.png RENAME ${ZX_DESKTOP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES data/${ZX_DESKTOP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  list(APPEND ZX_MAN_PAGES zorvex-flash zorvex-flash-demo)
  list(APPEND ZX_SPLIT_BINARIES zorvex-flash zorvex-flash-demo zx_aspi_good)
endif()
# The command line and its demo, which finds the same virtual library (a
# core build without Qt has the demo alone).
if(TARGET zorvex-flash-cli)
  install(PROGRAMS $<TARGET_FILE:zorvex-flash-cli> DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND ZX_MAN_PAGES zorvex-flash-cli)
  list(APPEND ZX_SPLIT_BINARIES zorvex-flash-cli)
endif()
if(TARGET zorvex-flash-cli-demo)
  target_compile_definitions(zorvex-flash-cli-demo PRIVATE ZX_ASPI_INSTALLED_DIR="${ZX_DEMO_MODULE_RELATIVE}")
  install(PROGRAMS $<TARGET_FILE:zorvex-flash-cli-demo> DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(NOT TARGET zorvex-flash)
    install(TARGETS zx_aspi_good LIBRARY DESTINATION ${ZX_DEMO_MODULE_DIR})
  endif()
  list(APPEND ZX_MAN_PAGES zorvex-flash-cli-demo)
  list(APPEND ZX_SPLIT_BINARIES zorvex-flash-cli-demo)
endif()

# Man pages and the changelog compressed as Debian ships them: gzip -9n
# stores neither name nor time, so the files do not change between builds.
find_program(ZX_GZIP gzip REQUIRED)
set(ZX_GZIPPED "")
function(zx_gzip source output)
  add_custom_command(OUTPUT ${output} COMMAND ${ZX_GZIP} -9n -c ${source} > ${output}
    DEPENDS ${source} VERBATIM)
  set(ZX_GZIPPED ${ZX_GZIPPED} ${output} PARENT_SCOPE)
endfunction()
foreach(page IN LISTS ZX_MAN_PAGES)
  configure_file(data/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  zx_gzip(${PROJECT_BINARY_DIR}/man/${page}.1 ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
zx_gzip(${PROJECT_SOURCE_DIR}/data/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_target(zx_gzipped ALL DEPENDS ${ZX_GZIPPED})

# The machine-readable copyright file, its licence text taken from LICENSE.
file(READ LICENSE zx_licence)
string(REGEX REPLACE "^MIT License\n\n[^\n]*\n\n" "" zx_licence "${zx_licence}")
string(REGEX REPLACE "\n+$" "" zx_licence "${zx_licence}")
string(REPLACE "\n\n" "\n.\n" zx_licence "${zx_licence}")
string(REPLACE "\n" "\n " ZX_LICENCE_TEXT " ${zx_licence}")
configure_file(data/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
# The licence is in the copyright file; a separate LICENSE would repeat it.
install(FILES README.md ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${ZX_DOC_DIR})

# The debug information of every installed ELF file, where gdb and
# coredumpctl look for it: under lib/debug/.build-id/ by the file's build ID.
if(ZX_STRIP_BARE AND NOT WIN32)
  # The debug package's documentation is the program's, as with Debian's own
  # -dbgsym packages.
  install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/doc\")
file(CREATE_LINK ${ZX_PACKAGE_NAME} \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ZX_DOC_DIR}-dbgsym\" SYMBOLIC)"
          COMPONENT dbgsym)
  install(FILES data/${ZX_PACKAGE_NAME}-dbgsym.lintian-overrides RENAME ${ZX_PACKAGE_NAME}-dbgsym
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT dbgsym)
  foreach(target IN LISTS ZX_SPLIT_BINARIES)
    install(CODE "set(ZX_READELF \"${CMAKE_READELF}\")
set(ZX_BINARY \"$<TARGET_FILE:${target}>\")
include(\"${PROJECT_SOURCE_DIR}/cmake/InstallDebugFile.cmake\")" COMPONENT dbgsym)
  endforeach()
endif()

# The Debian package. The run-time packages that dpkg-shlibdeps cannot see:
# Qt loads its platform plugin (xcb, wayland) at run time, and the window's
# font resolves to an installed Japanese Gothic face. qtbase_ja gives the
# edit fields' own menus in Japanese.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zorvex Firmware Flash Utility developers")
set(CPACK_PACKAGE_CONTACT "${ZX_CONTACT}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${ZX_HOMEPAGE}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime)
if(ZX_STRIP_BARE AND NOT WIN32)
  list(APPEND CPACK_COMPONENTS_ALL dbgsym)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# A description's first line is its summary; the rest are prose lines under
# 80 characters (joined with newlines, not as a CMake list).
string(JOIN "\n" ZX_DESCRIPTION
  "replace the firmware of a Zorvex RT-5800B DVD drive"
  "A small fixed window that finds the Zorvex RT-5800B optical drive, compares"
  "its firmware revision with the version the utility carries and writes the"
  "new firmware through the drive's vendor SCSI commands."
  ""
  "Includes zorvex-flash-cli, the same on a console for machines without a"
  "desktop, zorvex-flash-demo and zorvex-flash-cli-demo, the two in front of"
  "virtual drives,"
  "zx-pack, the firmware container packer, and zx-trace, which reads the"
  "command traces attached to bug reports. Firmware images belong to the"
  "drive's maker and are not part of this package.")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ZX_PACKAGE_NAME})
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "${ZX_DESCRIPTION}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# lsscsi -g tells which /dev/sg node is the drive.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "lsscsi")

set(CPACK_DEBIAN_DBGSYM_PACKAGE_NAME ${ZX_PACKAGE_NAME}-dbgsym)
string(JOIN "\n" CPACK_DEBIAN_DBGSYM_DESCRIPTION
  "debug symbols for zorvex-flash"
  "The debug information of the programs and the library in the zorvex-flash"
  "package, found by gdb and coredumpctl through each file's build ID.")
set(CPACK_DEBIAN_DBGSYM_PACKAGE_SECTION debug)
set(CPACK_DEBIAN_DBGSYM_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DBGSYM_PACKAGE_DEPENDS "${ZX_PACKAGE_NAME} (= ${PROJECT_VERSION})")

# Never strip while packaging: it would cut the firmware off the product.
# Release builds have stripped every ELF file already.
set(CPACK_STRIP_FILES OFF)
include(CPack)
