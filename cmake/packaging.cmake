# Installation in the usual Unix places, and the Debian package built from it
# (cpack -G DEB in a release build). Included once the lotpick target exists.

include(GNUInstallDirs)
install(TARGETS lotpick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/lotpick.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES CHANGELOG.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# What README links to, so that its links resolve where it is installed.
install(FILES docs/performance.md docs/performance.png docs/rotation.md docs/rotation.png
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# The daily job, each system's own: on a Unix the wrapper beside lotpick and
# its manual page, the crontab line, and the systemd user units (on Linux) or
# the launchd agent (macOS); on Windows its program. The units and
# README are written at install time (cmake/install_daily_job.cmake), when the
# prefix is known: the service names the installed wrapper, and README's links
# lead to where the daily job's files landed.
if(WIN32)
    install(TARGETS lotpick-wallpaper RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
    install(PROGRAMS examples/schedule/lotpick-wallpaper DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES docs/lotpick-wallpaper.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    set(LOTPICK_SCHEDULE_DOCS examples/schedule/crontab.txt)
    if(APPLE)
        list(APPEND LOTPICK_SCHEDULE_DOCS examples/schedule/lotpick-wallpaper.plist)
    endif()
    install(FILES ${LOTPICK_SCHEDULE_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/schedule)
endif()
install(CODE "
    set(LOTPICK_SOURCE_DIR [[${PROJECT_SOURCE_DIR}]])
    set(LOTPICK_DOCDIR [[${CMAKE_INSTALL_DOCDIR}]])
    set(LOTPICK_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
    set(LOTPICK_UNITS $<STREQUAL:${CMAKE_SYSTEM_NAME},Linux>)
    set(LOTPICK_SCHEDULE_DOCS [[${LOTPICK_SCHEDULE_DOCS}]])
    include([[${CMAKE_CURRENT_LIST_DIR}/install_daily_job.cmake]])")
set(CPACK_GENERATOR DEB)
# The project's own address, the one its commits are made under.
set(CPACK_PACKAGE_CONTACT "lotpick maintainers <maintainers@users.noreply.c-seed-d3213669.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pick a file at random from a list, passing over earlier picks")
# Debian shows the long description as written: lines kept short by hand.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "lotpick picks one file at random from a list of file names, passes over"
    "the names that earlier runs picked (remembered in a done list in the"
    "current directory), records the pick and copies the picked file over a"
    "destination, which takes the picked file's extension. Run from a login"
    "script or a timer, it picks a new file each time. The draw is uneven:"
    "the first line comes up about twice as often as the others and the last"
    "only rarely, unless the list ends with a blank line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The package carries the static musl build, the Linux download's own
# command: it asks for no C library, so it installs on any Debian or Ubuntu
# however old its glibc (a command built here would ask for Debian 12's
# 2.36). lintian is told that its being static is meant. Any other build
# asks dpkg-shlibdeps.
if(LOTPICK_ZIG_TARGET MATCHES "-musl$")
    file(WRITE ${CMAKE_BINARY_DIR}/lintian-overrides
        "# The static command is the point of the package: it runs on any glibc.\n"
        "lotpick: statically-linked-binary [usr/bin/lotpick]\n")
    install(FILES ${CMAKE_BINARY_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME lotpick)
else()
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
# The package carries the very command its preset's tests ran, stripped by
# that build's own link (-s): nothing strips it again here.
set(CPACK_STRIP_FILES OFF)
# Debian keeps manual pages compressed, the licence as a copyright file and
# the changelog in its own format; a plain cmake --install keeps them as written.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_man_pages.cmake ${CMAKE_CURRENT_LIST_DIR}/debian_docs.cmake)
include(CPack)
