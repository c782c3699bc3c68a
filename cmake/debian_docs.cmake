# CPack pre-build step for the Debian package: Debian wants the licence as a
# machine-readable copyright file and the history as a compressed changelog
# in its own format, both beside README, and no other licence file there.
# Both are made from LICENSE and CHANGELOG.md, which a plain install carries
# as they are.

if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
find_program(LOTPICK_GZIP gzip REQUIRED)

file(GLOB_RECURSE staged_licence LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*/share/doc/lotpick/LICENSE")
list(LENGTH staged_licence count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one staged LICENSE, found: ${staged_licence}")
endif()
get_filename_component(doc ${staged_licence} DIRECTORY)
get_filename_component(staged_root ${doc}/../../.. ABSOLUTE)

# The licence's own copyright line names the holders; its text follows it.
function(write_copyright licence target)
    file(STRINGS ${licence} lines)
    set(text)
    set(holders)
    foreach(line IN LISTS lines)
        if(line MATCHES "^Copyright \\(c\\) (.+)$")
            set(holders ${CMAKE_MATCH_1})
        elseif(holders AND line STREQUAL "")
            string(APPEND text " .\n")
        elseif(holders)
            string(APPEND text " ${line}\n")
        endif()
    endforeach()
    if(NOT holders)
        message(FATAL_ERROR "${licence} names no copyright holder")
    endif()
    string(REGEX REPLACE "^ \\.\n" "" text "${text}")
    file(WRITE ${target}
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
        "Upstream-Name: ${CPACK_PACKAGE_NAME}\n\n"
        "Files: *\nCopyright: ${holders}\nLicense: Expat\n${text}")
endfunction()

# RFC 5322 date of a YYYY-MM-DD day, at midnight UTC, as Debian changelogs
# date their entries.
function(changelog_date day out)
    string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" matched ${day})
    math(EXPR y "${CMAKE_MATCH_1}")
    math(EXPR m "${CMAKE_MATCH_2}")
    math(EXPR d "${CMAKE_MATCH_3}")
    set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
    math(EXPR index "${m} - 1")
    list(GET offsets ${index} offset)
    set(year ${y})
    if(m LESS 3)
        math(EXPR year "${y} - 1")
    endif()
    math(EXPR weekday "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${d}) % 7")
    set(weekdays Sun Mon Tue Wed Thu Fri Sat)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(GET weekdays ${weekday} weekday_name)
    list(GET months ${index} month_name)
    string(SUBSTRING "0${d}" 0 -1 padded)
    string(LENGTH "${padded}" length)
    math(EXPR start "${length} - 2")
    string(SUBSTRING "${padded}" ${start} 2 padded)
    set(${out} "${weekday_name}, ${padded} ${month_name} ${y} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

# Each "## VERSION (YYYY-MM-DD)" section becomes one entry; its "- " items
# become "  * " items, their continuation lines indented to match.
function(write_changelog markdown target)
    file(STRINGS ${markdown} lines)
    set(text)
    set(trailer)
    foreach(line IN LISTS lines)
        if(line MATCHES "^## ([^ ]+) \\(([0-9-]+)\\)$")
            set(version ${CMAKE_MATCH_1})
            changelog_date(${CMAKE_MATCH_2} date)
            string(APPEND text "${trailer}${CPACK_PACKAGE_NAME} (${version}) unstable; urgency=medium\n\n")
            set(trailer "\n -- ${CPACK_PACKAGE_CONTACT}  ${date}\n\n")
        elseif(trailer AND line MATCHES "^- (.*)$")
            string(APPEND text "  * ${CMAKE_MATCH_1}\n")
        elseif(trailer AND line MATCHES "^  (.*)$")
            string(APPEND text "    ${CMAKE_MATCH_1}\n")
        endif()
    endforeach()
    if(NOT trailer)
        message(FATAL_ERROR "${markdown} has no '## VERSION (YYYY-MM-DD)' section")
    endif()
    string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
    file(WRITE ${target} "${text}${trailer}")
endfunction()

write_copyright(${doc}/LICENSE ${doc}/copyright)
write_changelog(${doc}/CHANGELOG.md ${doc}/changelog)
execute_process(COMMAND ${LOTPICK_GZIP} -9nf ${doc}/changelog COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${doc}/LICENSE ${doc}/CHANGELOG.md)
