# Checks the systemd units of examples/schedule with systemd-analyze verify,
# as a user's units, with the service started from the lotpick just built:
# verify also checks that the command it names can run.
#
# cmake -DANALYZE=... -DBINARY=... -DSOURCE_DIR=... -DSCRATCH=... -P verify_units.cmake

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/runtime)
set(units)
foreach(name lotpick-wallpaper.service lotpick-wallpaper.timer)
    file(READ ${SOURCE_DIR}/examples/schedule/${name} text)
    string(REPLACE "ExecStart=lotpick " "ExecStart=${BINARY} " text "${text}")
    file(WRITE ${SCRATCH}/${name} "${text}")
    list(APPEND units ${SCRATCH}/${name})
endforeach()

# A user manager wants a runtime directory, which a build machine may not have.
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env XDG_RUNTIME_DIR=${SCRATCH}/runtime ${ANALYZE} verify --user ${units}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE ${SCRATCH})
if(NOT status EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "systemd-analyze verify (${status}):\n${output}")
endif()
