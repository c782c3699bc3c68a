# Install-time step (cmake/packaging.cmake runs it from install(CODE)): writes
# what depends on the prefix, which `cmake --install --prefix` may change after
# the build was configured.
#  - The systemd user units: the service starts the installed wrapper and puts
#    the installed lotpick first on its PATH. They go where a user's systemd
#    manager looks: PREFIX/lib/systemd/user for /usr and /usr/local, and
#    ~/.local/share/systemd/user for a prefix of ~/.local, where the units of
#    the tree already name %h/.local/bin and are installed as they are.
#  - README.md, its links to the daily job's files leading to where they were
#    installed; a link to a file that this system's install leaves out (the
#    other systems' jobs) becomes its plain text.
# Inputs: LOTPICK_SOURCE_DIR, LOTPICK_DOCDIR, LOTPICK_BINDIR, LOTPICK_UNITS,
# LOTPICK_SCHEDULE_DOCS (the files installed into DOCDIR/examples/schedule).

set(prefix ${CMAKE_INSTALL_PREFIX})
set(schedule ${LOTPICK_SOURCE_DIR}/examples/schedule)
string(RANDOM LENGTH 12 tag)
set(written ${CMAKE_CURRENT_BINARY_DIR}/lotpick-install-${tag})

# Where each file of examples/schedule went, relative to DOCDIR.
set(user_home "$ENV{HOME}/.local")
if(LOTPICK_UNITS AND prefix STREQUAL user_home)
    set(unitdir share/systemd/user)
else()
    set(unitdir lib/systemd/user)
endif()
file(RELATIVE_PATH to_bin /${LOTPICK_DOCDIR} /${LOTPICK_BINDIR})
file(RELATIVE_PATH to_units /${LOTPICK_DOCDIR} /${unitdir})
set(links "lotpick-wallpaper=${to_bin}/lotpick-wallpaper")
if(LOTPICK_UNITS)
    list(APPEND links "lotpick-wallpaper.service=${to_units}/lotpick-wallpaper.service"
        "lotpick-wallpaper.timer=${to_units}/lotpick-wallpaper.timer")
    set(bindir ${prefix}/${LOTPICK_BINDIR})
    if(prefix STREQUAL user_home)
        set(bindir %h/.local/bin)
    endif()
    file(READ ${schedule}/lotpick-wallpaper.service service)
    string(REPLACE "%h/.local/bin" "${bindir}" service "${service}")
    # The installed bindir first, once, then the other places lotpick may be.
    if(service MATCHES "\nEnvironment=PATH=([^\n]*)")
        string(REPLACE ":" ";" path "${CMAKE_MATCH_1}")
        list(REMOVE_DUPLICATES path)
        list(JOIN path ":" path)
        string(REPLACE "${CMAKE_MATCH_0}" "\nEnvironment=PATH=${path}" service "${service}")
    endif()
    file(WRITE ${written}/lotpick-wallpaper.service "${service}")
    file(INSTALL ${written}/lotpick-wallpaper.service ${schedule}/lotpick-wallpaper.timer
        DESTINATION ${prefix}/${unitdir})
endif()

file(READ ${LOTPICK_SOURCE_DIR}/README.md readme)
file(GLOB schedule_files RELATIVE ${schedule} ${schedule}/*)
foreach(name IN LISTS schedule_files)
    string(REPLACE "." "\\." pattern "examples/schedule/${name}")
    set(target)
    foreach(link IN LISTS links)
        if(link MATCHES "^${name}=(.*)$")
            set(target ${CMAKE_MATCH_1})
        endif()
    endforeach()
    list(FIND LOTPICK_SCHEDULE_DOCS examples/schedule/${name} installed_as_doc)
    if(target)
        string(REGEX REPLACE "\\]\\(${pattern}\\)" "](${target})" readme "${readme}")
    elseif(installed_as_doc EQUAL -1)
        string(REGEX REPLACE "\\[([^]\n]*)\\]\\(${pattern}\\)" "\\1" readme "${readme}")
    endif()
endforeach()
file(WRITE ${written}/README.md "${readme}")
file(INSTALL ${written}/README.md DESTINATION ${prefix}/${LOTPICK_DOCDIR})
file(REMOVE_RECURSE ${written})
