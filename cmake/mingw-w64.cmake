# Cross build of lotpick.exe for 64-bit Windows with mingw-w64 (posix thread
# model). When Wine is installed, the tests run under it through CTest.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime, libgcc and winpthreads go into each .exe, so it runs with
# no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# A throwaway Wine prefix inside the build folder keeps the tests away from
# the user's own ~/.wine.
find_program(LOTPICK_WINE NAMES wine wine64 PATHS /usr/lib/wine)
find_program(LOTPICK_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine)
if(LOTPICK_WINE AND LOTPICK_WINESERVER)
    set(LOTPICK_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_COMMAND} -E env WINEPREFIX=${LOTPICK_WINE_PREFIX} WINEDEBUG=-all ${LOTPICK_WINE})
endif()
