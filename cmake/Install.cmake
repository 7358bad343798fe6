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
# appended and are installed as targets, so `--strip` strips them.
include(GNUInstallDirs)

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
# A core build (ZX_WITH_WINDOW=OFF) has the packer alone.
if(TARGET zorvex-flash)
  target_compile_definitions(zorvex-flash-demo PRIVATE ZX_ASPI_INSTALLED_DIR="${ZX_DEMO_MODULE_RELATIVE}")
  install(PROGRAMS $<TARGET_FILE:zorvex-flash> $<TARGET_FILE:zorvex-flash-demo>
          DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS zx_aspi_good LIBRARY DESTINATION ${ZX_DEMO_MODULE_DIR})
  install(FILES data/${ZX_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/${ZX_DESKTOP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES data/${ZX_DESKTOP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  list(APPEND ZX_MAN_PAGES zorvex-flash zorvex-flash-demo)
endif()
foreach(page IN LISTS ZX_MAN_PAGES)
  configure_file(data/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES README.md LICENSE DESTINATION ${ZX_DOC_DIR})

# The Debian package. The run-time packages that dpkg-shlibdeps cannot see:
# Qt loads its platform plugin (xcb, wayland) at run time, and the window's
# font resolves to an installed Japanese Gothic face. qtbase_ja gives the
# edit fields' own menus in Japanese.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zorvex Firmware Flash Utility developers")
set(CPACK_PACKAGE_CONTACT "The Zorvex Firmware Flash Utility developers <maintainers@zorvexflash.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "replace the firmware of a Zorvex RT-5800B DVD drive")
set(CPACK_PACKAGE_DESCRIPTION
    "A small fixed window that finds the Zorvex RT-5800B optical drive, compares its firmware revision with the "
    "version the utility carries and writes the new firmware through the drive's vendor SCSI commands. Includes "
    "zorvex-flash-demo, the same program in front of virtual drives, and zx-pack, the firmware container packer. "
    "Firmware images belong to the drive's maker and are not part of this package.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# Never strip while packaging: it would cut the firmware off the product.
set(CPACK_STRIP_FILES OFF)
include(CPack)
