# Checks the systemd user units with systemd-analyze verify, as a user's
# units, for each way they reach a user: the tree's (the tarball's), copied as
# README says with lotpick and the wrapper in ~/.local/bin; and the ones
# `cmake --install` writes for its prefix, naming the wrapper installed there.
# Each gets a home of its own with the list's folder; verify checks that the
# command the service names can run, and the PATH the service gives the
# wrapper must lead to the lotpick installed with it.
#
# cmake -DANALYZE=... -DBINARY=... -DBUILD_DIR=... -DSOURCE_DIR=... -DSCRATCH=... -P verify_units.cmake

cmake_minimum_required(VERSION 3.25)

set(schedule ${SOURCE_DIR}/examples/schedule)

# The user manager's sockets live in the runtime directory, and a socket's
# path must fit in 108 bytes: the directory is made in /tmp, where a build
# tree deep in a long path cannot push them past it.
string(RANDOM LENGTH 10 tag)
set(runtime_root /tmp/lotpick-units-${tag})
macro(fail text)
    file(REMOVE_RECURSE ${runtime_root})
    message(FATAL_ERROR "${text}")
endmacro()

file(REMOVE_RECURSE ${SCRATCH})
foreach(install tarball installed)
    set(home ${SCRATCH}/${install}/home)
    file(MAKE_DIRECTORY ${runtime_root}/${install} ${home}/.local/share/lotpick)
    if(install STREQUAL "tarball")
        file(COPY ${BINARY} ${schedule}/lotpick-wallpaper DESTINATION ${home}/.local/bin)
        set(units ${schedule})
        set(bindir ${home}/.local/bin)
    else()
        set(prefix ${SCRATCH}/${install}/prefix)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env HOME=${home} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
            RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
        if(NOT status EQUAL 0)
            fail("cmake --install --prefix ${prefix} failed (${status}):\n${output}")
        endif()
        set(units ${prefix}/lib/systemd/user)
        set(bindir ${prefix}/bin)
    endif()

    # A user manager wants a runtime directory, which a build machine may not have.
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env HOME=${home} XDG_RUNTIME_DIR=${runtime_root}/${install}
            ${ANALYZE} verify --user ${units}/lotpick-wallpaper.service ${units}/lotpick-wallpaper.timer
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0 OR NOT output STREQUAL "")
        fail("systemd-analyze verify, ${install} units (${status}):\n${output}")
    endif()

    file(READ ${units}/lotpick-wallpaper.service service)
    if(NOT service MATCHES "\nEnvironment=PATH=([^\n]*)")
        fail("the ${install} service sets no PATH for the wrapper to find lotpick in")
    endif()
    string(REPLACE "%h" "${home}" path "${CMAKE_MATCH_1}")
    string(REPLACE ":" ";" path "${path}")
    unset(found)
    find_program(found lotpick PATHS ${path} NO_DEFAULT_PATH NO_CACHE)
    if(NOT found STREQUAL "${bindir}/lotpick")
        fail("${install} units: the service's PATH (${path}) leads to '${found}', not ${bindir}/lotpick")
    endif()
    foreach(system_bindir /usr/local/bin /usr/bin)
        if(NOT system_bindir IN_LIST path)
            fail("${install} units: the service's PATH (${path}) misses ${system_bindir}")
        endif()
    endforeach()
endforeach()
file(REMOVE_RECURSE ${SCRATCH} ${runtime_root})
