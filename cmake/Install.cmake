# Installing like a desktop program: the two programs, the menu entry with
# its icon, and the udev rule that lets the plugdev group use the analyser.
# CPack turns the same into a Debian package (cmake --build build --target
# package).
include(GNUInstallDirs)

if(TARGET tolvane)
  install(TARGETS tolvane tolvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/linux/tolvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/linux/tolvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES packaging/linux/60-tolvane.rules DESTINATION lib/udev/rules.d)
# udev reads rules from /usr/lib/udev/rules.d and /etc/udev/rules.d, never
# from under /usr/local: an install to the default prefix also puts the rule
# in /etc. (The package is staged elsewhere and keeps it in /usr/lib.)
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr/local\")
    file(INSTALL \"${CMAKE_CURRENT_SOURCE_DIR}/packaging/linux/60-tolvane.rules\" DESTINATION /etc/udev/rules.d)
  endif()")
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VENDOR "Tolvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control and analysis program for a USB multichannel analyser (EDS/XRF)")
set(CPACK_PACKAGE_CONTACT "Tolvane maintainers <tolvane@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Libraries the programs link come from dpkg-shlibdeps (Debian's own names);
# Qt's platform plugins and the fonts are loaded at run time, so they are
# named here. The vendor's D2XX library is optional and never a dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_SOURCE_DIR}/packaging/linux/postinst")
include(CPack)
