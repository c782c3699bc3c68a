# CPack pre-build step: compresses the staged manual pages the way Debian
# packages carry them (gzip -9n: no name or time stamp, so builds repeat).

find_program(LOTPICK_GZIP gzip REQUIRED)
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER staged INCLUDE REGEX "/share/man/man[1-9]/[^/]+\\.[1-9]$")
foreach(page IN LISTS staged)
    execute_process(COMMAND ${LOTPICK_GZIP} -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
