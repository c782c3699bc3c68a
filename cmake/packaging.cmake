# Installation in the usual Unix places, and the Debian package built from it
# (cpack -G DEB in a release build). Included once the lotpick target exists.

include(GNUInstallDirs)
install(TARGETS lotpick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/lotpick.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
