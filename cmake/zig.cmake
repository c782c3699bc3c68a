# Cross builds with zig's clang, and the libc++ and C libraries zig carries
# (musl, glibc, macOS's libSystem): one target per build folder, named as zig
# names it in LOTPICK_ZIG_TARGET (x86_64-linux-musl, aarch64-macos, ...).
# tools/install-deps puts the pinned zig into the user's cache folder.
#
# Linux targets with musl link statically. A glibc target names the oldest
# glibc it runs on (x86_64-linux-gnu.2.33): it loads the system's C library,
# and links against zig's stand-ins for that version, so that no symbol of a
# later one can creep in. Their tests run directly when the target is the
# build machine's own processor, under qemu-user when it is another; the
# tests of any other system are built and linked but not run.

set(LOTPICK_ZIG_TARGET "" CACHE STRING "zig target to build for, e.g. x86_64-linux-musl or aarch64-macos")
if(NOT LOTPICK_ZIG_TARGET MATCHES "^([a-z0-9_]+)-([a-z]+)")
    message(FATAL_ERROR "Set LOTPICK_ZIG_TARGET to a zig target such as x86_64-linux-musl (now '${LOTPICK_ZIG_TARGET}')")
endif()
set(lotpick_zig_arch ${CMAKE_MATCH_1})
set(lotpick_zig_os ${CMAKE_MATCH_2})

if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(lotpick_user_cache "$ENV{XDG_CACHE_HOME}")
else()
    set(lotpick_user_cache "$ENV{HOME}/.cache")
endif()
set(LOTPICK_ZIG "${lotpick_user_cache}/lotpick/zig-0.11.0/zig" CACHE FILEPATH "The zig compiler")
if(NOT EXISTS "${LOTPICK_ZIG}")
    message(FATAL_ERROR "zig not found at ${LOTPICK_ZIG}: run tools/install-deps, or set LOTPICK_ZIG")
endif()

set(CMAKE_SYSTEM_PROCESSOR ${lotpick_zig_arch})
if(lotpick_zig_os STREQUAL "linux")
    set(CMAKE_SYSTEM_NAME Linux)
    if(LOTPICK_ZIG_TARGET MATCHES "-musl")
        set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
    endif()
elseif(lotpick_zig_os STREQUAL "macos")
    set(CMAKE_SYSTEM_NAME Darwin)
elseif(lotpick_zig_os STREQUAL "freebsd")
    set(CMAKE_SYSTEM_NAME FreeBSD)
else()
    message(FATAL_ERROR "No CMake system name known for zig's '${lotpick_zig_os}'")
endif()

# CMake wants one program per tool, zig is one program with subcommands: small
# scripts in the build folder stand between them. Written on the first run
# only; the builds CMake makes to probe the compiler reuse them. They drop
# -Wl,-v, which CMake passes for macOS to read the linker's search paths and
# which zig's Mach-O linker refuses.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LOTPICK_ZIG_TARGET LOTPICK_ZIG LOTPICK_ZIG_TOOLS)
if(NOT LOTPICK_ZIG_TOOLS)
    set(LOTPICK_ZIG_TOOLS "${CMAKE_BINARY_DIR}/zig-tools")
    # zig's caches would default to ~/.cache/zig: the shared one (the C and C++
    # libraries zig builds per target) goes beside zig, the other into the
    # build folder, so that nothing outside these two is written.
    set(lotpick_zig_env "ZIG_GLOBAL_CACHE_DIR='${lotpick_user_cache}/lotpick/zig-cache' ZIG_LOCAL_CACHE_DIR='${LOTPICK_ZIG_TOOLS}/cache'")
    foreach(tool IN ITEMS "cc;cc -target ${LOTPICK_ZIG_TARGET}" "c++;c++ -target ${LOTPICK_ZIG_TARGET}" "ar;ar" "ranlib;ranlib")
        list(GET tool 0 name)
        list(GET tool 1 command)
        file(WRITE "${LOTPICK_ZIG_TOOLS}/${name}.new" "#!/bin/sh\n"
            "for arg do shift; [ \"$arg\" = -Wl,-v ] || set -- \"$@\" \"$arg\"; done\n"
            "${lotpick_zig_env} exec '${LOTPICK_ZIG}' ${command} \"$@\"\n")
        file(CHMOD "${LOTPICK_ZIG_TOOLS}/${name}.new" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
        file(RENAME "${LOTPICK_ZIG_TOOLS}/${name}.new" "${LOTPICK_ZIG_TOOLS}/${name}")
    endforeach()
    # CMake insists on install_name_tool for macOS, to rewrite the install
    # names of shared libraries; zig has none, and lotpick links none.
    file(WRITE "${LOTPICK_ZIG_TOOLS}/install_name_tool" "#!/bin/sh\n# No shared libraries to rename.\nexit 0\n")
    file(CHMOD "${LOTPICK_ZIG_TOOLS}/install_name_tool" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endif()
if(CMAKE_SYSTEM_NAME STREQUAL "Darwin")
    set(CMAKE_INSTALL_NAME_TOOL "${LOTPICK_ZIG_TOOLS}/install_name_tool" CACHE FILEPATH "")
endif()
set(CMAKE_C_COMPILER "${LOTPICK_ZIG_TOOLS}/cc")
set(CMAKE_CXX_COMPILER "${LOTPICK_ZIG_TOOLS}/c++")
set(CMAKE_AR "${LOTPICK_ZIG_TOOLS}/ar" CACHE FILEPATH "")
set(CMAKE_RANLIB "${LOTPICK_ZIG_TOOLS}/ranlib" CACHE FILEPATH "")

# Nothing from the build machine's own libraries and headers.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(CMAKE_SYSTEM_NAME STREQUAL CMAKE_HOST_SYSTEM_NAME AND lotpick_zig_arch STREQUAL CMAKE_HOST_SYSTEM_PROCESSOR)
    set(LOTPICK_TARGET_RUNS_HERE ON)
elseif(CMAKE_SYSTEM_NAME STREQUAL CMAKE_HOST_SYSTEM_NAME)
    find_program(LOTPICK_QEMU qemu-${lotpick_zig_arch})
    if(LOTPICK_QEMU)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${LOTPICK_QEMU})
    endif()
else()
    set(LOTPICK_TESTS_BUILD_ONLY ON)
endif()
