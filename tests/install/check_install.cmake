# Installs the build into a scratch root under DESTDIR, once with the
# configured prefix, once with another one given at install time and once into
# a user's ~/.local, and checks that exactly the command and the wallpaper
# wrapper, their manual pages, the systemd user units naming the installed
# wrapper, the README, licence and changelog and what the README links to land
# there, every link resolving in the installed tree.
#
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DSCRATCH=... -DCONFIGURED_PREFIX=...
#       -DVERSION=... -DDOCDIR=... (relative to the prefix) -P check_install.cmake

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

# The text of a Markdown page with each link [text](target) as its text alone.
function(unlinked page out)
    file(READ ${page} text)
    string(REGEX REPLACE "\\[([^]\n]*)\\]\\([^)\n]*\\)" "\\1" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The installed service must start the wrapper installed with it, from the
# list's folder, with the installed lotpick first on its PATH; and the timer
# must be the tree's.
function(check_units units bindir)
    file(READ ${units}/lotpick-wallpaper.service service)
    foreach(line "ExecStart=${bindir}/lotpick-wallpaper wallpapers.txt %h/Pictures/wallpaper.jpg"
            "Environment=PATH=${bindir}:" "WorkingDirectory=%h/.local/share/lotpick")
        string(FIND "${service}" "\n${line}" at)
        if(at EQUAL -1)
            fail(${units} "/lotpick-wallpaper.service lacks the line '" ${line} "':\n" ${service})
        endif()
    endforeach()
    file(SHA256 ${units}/lotpick-wallpaper.timer got)
    file(SHA256 ${SOURCE_DIR}/examples/schedule/lotpick-wallpaper.timer want)
    if(NOT got STREQUAL want)
        fail(${units} "/lotpick-wallpaper.timer differs from the tree's")
    endif()
endfunction()

# Installs under DESTDIR=root, with the prefix given at install time when
# there is one (and HOME, for a user's install), and checks what arrived
# below root/prefix.
function(check_install root prefix)
    set(prefix_option)
    set(home $ENV{HOME})
    if(ARGC GREATER 2)
        set(prefix_option --prefix ${ARGV2})
    endif()
    if(ARGC GREATER 3)
        set(home ${ARGV3})
    endif()
    file(REMOVE_RECURSE ${root})
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root} HOME=${home} ${CMAKE_COMMAND} --install ${BUILD_DIR} ${prefix_option}
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        fail("cmake --install failed (" ${status} "):\n" ${output})
    endif()

    file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
    list(SORT installed)
    string(REGEX REPLACE "^/" "" base ${prefix})
    set(doc ${base}/${DOCDIR})
    set(bindir ${prefix}/bin)
    set(units ${base}/lib/systemd/user)
    if(prefix STREQUAL "${home}/.local")
        set(bindir %h/.local/bin)
        set(units ${base}/share/systemd/user)
    endif()
    set(expected ${base}/bin/lotpick ${base}/bin/lotpick-wallpaper ${doc}/README.md ${doc}/CHANGELOG.md ${doc}/LICENSE
        ${doc}/docs/performance.md ${doc}/docs/performance.png ${doc}/docs/rotation.md ${doc}/docs/rotation.png
        ${doc}/examples/schedule/crontab.txt ${units}/lotpick-wallpaper.service ${units}/lotpick-wallpaper.timer
        ${base}/share/man/man1/lotpick.1 ${base}/share/man/man1/lotpick-wallpaper.1)
    list(SORT expected)
    if(NOT installed STREQUAL expected)
        list(JOIN installed "\n  " installed)
        list(JOIN expected "\n  " expected)
        fail("installed into " ${root} ":\n  " ${installed} "\nexpected:\n  " ${expected})
    endif()
    check_units(${root}/${units} ${bindir})

    # README as written but for where its links lead.
    unlinked(${SOURCE_DIR}/README.md want)
    unlinked(${root}/${doc}/README.md got)
    if(NOT want STREQUAL got)
        fail(${doc} "/README.md differs from README.md by more than its links")
    endif()

    foreach(pair "docs/lotpick.1;share/man/man1/lotpick.1" "docs/lotpick-wallpaper.1;share/man/man1/lotpick-wallpaper.1"
            "examples/schedule/lotpick-wallpaper;bin/lotpick-wallpaper" "LICENSE;${DOCDIR}/LICENSE"
            "CHANGELOG.md;${DOCDIR}/CHANGELOG.md")
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
            ${root}/${base}/bin/lotpick-wallpaper --version
        RESULT_VARIABLE status OUTPUT_VARIABLE answer ERROR_VARIABLE answer)
    if(NOT status EQUAL 0 OR NOT answer STREQUAL "lotpick ${VERSION}\n")
        fail("installed lotpick-wallpaper --version said (" ${status} "): " ${answer})
    endif()
endfunction()

check_install(${SCRATCH}/configured ${CONFIGURED_PREFIX})
check_install(${SCRATCH}/chosen /opt/lotpick-elsewhere /opt/lotpick-elsewhere)
check_install(${SCRATCH}/user /home/someone/.local /home/someone/.local /home/someone)
file(REMOVE_RECURSE ${SCRATCH})
