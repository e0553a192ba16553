# Installing Vantrel as a desktop program (`cmake --install`, `make install PREFIX=...`) and the Debian
# package built from the same rules (`cpack -G DEB`). Every destination is relative to the prefix, so
# the package (prefix /usr) and a private prefix get the same tree:
#   bin/vantrel, bin/vantrel-sim
#   share/applications/vantrel.desktop, share/icons/hicolor/*/apps/vantrel.{svg,png}
#   share/mime/packages/vantrel.xml
#   share/vantrel/vantrelhelp.html, share/vantrel/samples/*.nc and *.tgs (the samples' tool files)
#   share/man/man1/vantrel.1.gz, share/man/man1/vantrel-sim.1.gz
#   share/doc/vantrel/copyright, share/doc/vantrel/changelog.gz
include(GNUInstallDirs)

# Folders are created 0755 whatever the umask of the one who builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(_dist ${PROJECT_SOURCE_DIR}/dist)
set(_gen ${PROJECT_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${_gen})

install(TARGETS vantrel-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(VANTREL_GUI)
  install(TARGETS vantrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_dist}/vantrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_dist}/icons/vantrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${_dist}/icons/${size}x${size}/vantrel.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${_dist}/vantrel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vantrel.xml)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/samples/vantrelhelp.html DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel)
file(GLOB _samples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/samples/*.nc ${PROJECT_SOURCE_DIR}/samples/*.tgs)
install(FILES ${_samples} DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel/samples)

# Manual pages and the changelog go in compressed, as Debian wants them (-n: no time stamp inside, so
# the same sources give the same bytes).
set(_gz_outputs)
configure_file(${_dist}/debian/changelog.in ${_gen}/changelog @ONLY)
foreach(src ${_dist}/man/vantrel.1 ${_dist}/man/vantrel-sim.1 ${_gen}/changelog)
  get_filename_component(_name ${src} NAME)
  add_custom_command(OUTPUT ${_gen}/${_name}.gz
                     COMMAND gzip -9n -c ${src} > ${_gen}/${_name}.gz
                     DEPENDS ${src} VERBATIM)
  list(APPEND _gz_outputs ${_gen}/${_name}.gz)
endforeach()
add_custom_target(vantrel_dist_files ALL DEPENDS ${_gz_outputs})
set(_man1 ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_gen}/vantrel-sim.1.gz DESTINATION ${_man1})
if(VANTREL_GUI)
  install(FILES ${_gen}/vantrel.1.gz DESTINATION ${_man1})
endif()
install(FILES ${_dist}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel)
install(FILES ${_gen}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel)

# The Debian package. Its Depends are the packages of every shared library the two programs link
# (found by dpkg-shlibdeps) and what they load at run time without linking it: Qt's platform plugins to
# open a window at all, and a Japanese font so that captions and menus are readable.
set(VANTREL_PACKAGE_MAINTAINER "Vantrel developers <vantrel-dev@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NC machine-tool simulator and program editor")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANTREL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vantrel shows what an NC part program does before it runs on a machine tool.\n\
Pick a vertical or horizontal milling machine, an NC lathe, a vertical lathe\n\
or a wire EDM machine, define the stock and the tools, and play the program:\n\
the tool moves along the interpolated path and cuts the stock in a\n\
three-dimensional view drawn by its own software renderer.\n\
.\n\
Programs are edited in an editor window, read from and saved to text files,\n\
and sent to or received from the machine's controller over RS-232C (DNC).\n\
Captions and messages are Japanese. The package also holds vantrel-sim,\n\
which plays, traces and draws programs without a display.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipaexfont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, xdg-utils")
include(CPack)
