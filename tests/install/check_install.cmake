# Installs the build into a scratch root under DESTDIR, once with the
# configured prefix and once with another one given at install time, and
# checks that exactly the command, its manual page, its README, licence and
# changelog and what the README links to land there, every link resolving in the installed tree.
#
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DSCRATCH=... -DCONFIGURED_PREFIX=...
#       -DVERSION=... -P check_install.cmake

function(fail)
    string(JOIN "" message ${ARGN})
    message(FATAL_ERROR "${message}")
endfunction()

# Every relative link of a Markdown file, [text](target) or ![text](target),
# names a file beside it; links into the page itself (#...) and to the web
# are not files.
function(check_links page)
    file(READ ${page} text)
    get_filename_component(folder ${page} DIRECTORY)
    # Square brackets group the items of a CMake list, so they go first.
    string(REPLACE "[" "<" text "${text}")
    string(REPLACE "]" ">" text "${text}")
    string(REGEX MATCHALL ">\\([^) \t\n;#]+\\)" links "${text}")
    foreach(link IN LISTS links)
        string(REGEX REPLACE "^>\\(|\\)$" "" target "${link}")
        if(NOT target MATCHES "^[a-z]+:" AND NOT EXISTS "${folder}/${target}")
            fail(${page} " links " ${target} ", which is not installed")
        endif()
    endforeach()
endfunction()

# Installs under DESTDIR=root, with the prefix given at install time when
# there is one, and checks what arrived below root/prefix.
function(check_install root prefix)
    set(prefix_option)
    if(ARGN)
        set(prefix_option --prefix ${ARGN})
    endif()
    file(REMOVE_RECURSE ${root})
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root} ${CMAKE_COMMAND} --install ${BUILD_DIR} ${prefix_option}
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        fail("cmake --install failed (" ${status} "):\n" ${output})
    endif()

    file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
    list(SORT installed)
    string(REGEX REPLACE "^/" "" base ${prefix})
    set(doc ${base}/share/doc/lotpick)
    set(expected ${base}/bin/lotpick ${doc}/README.md ${doc}/CHANGELOG.md ${doc}/LICENSE ${doc}/docs/performance.md ${doc}/docs/performance.png
        ${doc}/docs/rotation.md ${doc}/docs/rotation.png ${doc}/examples/schedule/crontab.txt
        ${doc}/examples/schedule/lotpick-wallpaper
        ${doc}/examples/schedule/lotpick-wallpaper.cpp ${doc}/examples/schedule/lotpick-wallpaper.plist
        ${doc}/examples/schedule/lotpick-wallpaper.service
        ${doc}/examples/schedule/lotpick-wallpaper.timer ${base}/share/man/man1/lotpick.1)
    list(SORT expected)
    if(NOT installed STREQUAL expected)
        list(JOIN installed "\n  " installed)
        list(JOIN expected "\n  " expected)
        fail("installed into " ${root} ":\n  " ${installed} "\nexpected:\n  " ${expected})
    endif()

    foreach(pair "docs/lotpick.1;share/man/man1/lotpick.1" "README.md;share/doc/lotpick/README.md"
            "LICENSE;share/doc/lotpick/LICENSE" "CHANGELOG.md;share/doc/lotpick/CHANGELOG.md")
        list(GET pair 0 source)
        list(GET pair 1 target)
        file(SHA256 ${SOURCE_DIR}/${source} want)
        file(SHA256 ${root}/${base}/${target} got)
        if(NOT want STREQUAL got)
            fail(${target} " differs from " ${source})
        endif()
    endforeach()

    check_links(${root}/${doc}/README.md)
    check_links(${root}/${doc}/docs/rotation.md)
    check_links(${root}/${doc}/docs/performance.md)

    # EMULATOR: what runs another processor's binary, if the build is for one.
    execute_process(COMMAND ${EMULATOR} ${root}/${base}/bin/lotpick --version
        RESULT_VARIABLE status OUTPUT_VARIABLE answer ERROR_VARIABLE answer)
    if(NOT status EQUAL 0 OR NOT answer STREQUAL "lotpick ${VERSION}\n")
        fail("installed lotpick --version said (" ${status} "): " ${answer})
    endif()
    # The wrapper runs as it lies, passing on what lotpick says; it runs
    # lotpick as a plain command, so not for another processor's build.
    if(EMULATOR)
        return()
    endif()
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env LOTPICK=${root}/${base}/bin/lotpick
            ${root}/${doc}/examples/schedule/lotpick-wallpaper --version
        RESULT_VARIABLE status OUTPUT_VARIABLE answer ERROR_VARIABLE answer)
    if(NOT status EQUAL 0 OR NOT answer STREQUAL "lotpick ${VERSION}\n")
        fail("installed lotpick-wallpaper --version said (" ${status} "): " ${answer})
    endif()
endfunction()

check_install(${SCRATCH}/configured ${CONFIGURED_PREFIX})
check_install(${SCRATCH}/chosen /opt/lotpick-elsewhere /opt/lotpick-elsewhere)
file(REMOVE_RECURSE ${SCRATCH})
