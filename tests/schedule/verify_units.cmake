# Checks the systemd units of examples/schedule with systemd-analyze verify,
# as a user's units, once for each of README's installs: lotpick in the system
# (/usr/local/bin or /usr/bin) and lotpick in ~/.local/bin. Each gets a home of
# its own with lotpick-wallpaper beside the list, as README sets it up; verify
# checks that the command the service names can run, and the PATH the service
# gives the wrapper must lead to the install's lotpick.
#
# cmake -DANALYZE=... -DBINARY=... -DSOURCE_DIR=... -DSCRATCH=... -P verify_units.cmake

cmake_minimum_required(VERSION 3.25)

set(schedule ${SOURCE_DIR}/examples/schedule)
file(READ ${schedule}/lotpick-wallpaper.service service)
if(NOT service MATCHES "\nEnvironment=PATH=([^\n]*)")
    message(FATAL_ERROR "the service sets no PATH for the wrapper to find lotpick in")
endif()
set(service_path ${CMAKE_MATCH_1})

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
foreach(install system user)
    set(home ${SCRATCH}/${install}/home)
    file(MAKE_DIRECTORY ${runtime_root}/${install})
    file(COPY ${schedule}/lotpick-wallpaper DESTINATION ${home}/.local/share/lotpick)
    if(install STREQUAL "user")
        file(COPY ${BINARY} DESTINATION ${home}/.local/bin)
    endif()

    # A user manager wants a runtime directory, which a build machine may not have.
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env HOME=${home} XDG_RUNTIME_DIR=${runtime_root}/${install}
            ${ANALYZE} verify --user ${schedule}/lotpick-wallpaper.service ${schedule}/lotpick-wallpaper.timer
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0 OR NOT output STREQUAL "")
        fail("systemd-analyze verify, ${install} install (${status}):\n${output}")
    endif()

    string(REPLACE "%h" "${home}" path "${service_path}")
    string(REPLACE ":" ";" path "${path}")
    if(install STREQUAL "user")
        find_program(found lotpick PATHS ${path} NO_DEFAULT_PATH NO_CACHE)
        if(NOT found STREQUAL "${home}/.local/bin/lotpick")
            fail("user install: the service's PATH (${path}) leads to '${found}'")
        endif()
    else()
        foreach(bindir /usr/local/bin /usr/bin)
            if(NOT bindir IN_LIST path)
                fail("system install: the service's PATH (${path}) misses ${bindir}")
            endif()
        endforeach()
    endif()
endforeach()
file(REMOVE_RECURSE ${SCRATCH} ${runtime_root})
