# Installation in the usual Unix places, and the Debian package built from it
# (cpack -G DEB in a release build). Included once the lotpick target exists.

include(GNUInstallDirs)
install(TARGETS lotpick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/lotpick.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "lotpick developers <lotpick@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pick a file at random from a list, never the same twice")
# Debian shows the long description as written: lines kept short by hand.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "lotpick picks one file at random from a list of file names, passes over"
    "the names that earlier runs picked (remembered in a done list in the"
    "current directory), records the pick and copies the picked file over a"
    "destination, which takes the picked file's extension. Run from a login"
    "script or a timer, it brings every file of the list round once before"
    "any comes round again.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Debian keeps manual pages compressed; a plain cmake --install keeps them as written.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_man_pages.cmake)
include(CPack)
