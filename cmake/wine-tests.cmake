# Test runs under Wine, included by tests/CMakeLists.txt when the toolchain
# found it. Wine makes its prefix on first use, which takes longer than test
# discovery waits; and the Wine services that a first program starts inherit
# its standard error, holding CTest's pipe open until the server ends. So
# before CTest lists any test, the prefix is made and the server and its
# services are started with their output going to a log file. The server
# stays up until 15 seconds after the last test, then ends by itself.

set(LOTPICK_WINE_LOG ${CMAKE_CURRENT_BINARY_DIR}/wine.log)
set(LOTPICK_WINE_READY ${CMAKE_CURRENT_BINARY_DIR}/wine-ready.cmake)
file(CONFIGURE OUTPUT ${LOTPICK_WINE_READY} @ONLY CONTENT [[
file(MAKE_DIRECTORY "@LOTPICK_WINE_PREFIX@")
execute_process(
    COMMAND "@CMAKE_COMMAND@" -E env "WINEPREFIX=@LOTPICK_WINE_PREFIX@" "@LOTPICK_WINESERVER@" -p15
    INPUT_FILE /dev/null OUTPUT_FILE "@LOTPICK_WINE_LOG@" ERROR_FILE "@LOTPICK_WINE_LOG@")
execute_process(
    COMMAND "@CMAKE_COMMAND@" -E env "WINEPREFIX=@LOTPICK_WINE_PREFIX@" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
            "@LOTPICK_WINE@" wineboot --init
    INPUT_FILE /dev/null OUTPUT_FILE "@LOTPICK_WINE_LOG@" ERROR_FILE "@LOTPICK_WINE_LOG@"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "Wine could not start in @LOTPICK_WINE_PREFIX@ (see @LOTPICK_WINE_LOG@)")
endif()
]])
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${LOTPICK_WINE_READY})
