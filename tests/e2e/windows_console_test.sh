#!/bin/bash
# Runs of lotpick.exe, and of the daily job lotpick-wallpaper.exe, whose
# standard output and error are a console: under `script`, Wine gives a
# program a console of its own and shows it on the terminal in UTF-8, so what
# the console shows can be compared with what was typed. Wine's console reads
# bytes in the ANSI code page, 1252 here, so a UTF-8 name written as bytes
# shows as other characters; a Windows console reads them in the OEM code
# page, where a name in 1252 does too. Each run's status, what the console
# showed, the done list and the files left are checked. Under a locale other
# than English (C, POSIX, en_*), where Wine takes another ANSI code page or
# speaks another language, only the rows that hold in every one run: the
# others expect names in Windows-1252 and the system's wording in English.
#
# WINEPREFIX=... windows_console_test.sh WINE LOTPICK_EXE WALLPAPER_EXE SCRATCH
set -euo pipefail

wine=$1 exe=$2 wallpaper=$3 scratch=$4
rm -rf "$scratch"
mkdir -p "$scratch"
# shellcheck source-path=SCRIPTDIR source=../schedule/checks.sh
source "${BASH_SOURCE[0]%/*}/../schedule/checks.sh"
cp "$exe" "$scratch/lotpick.exe"
cp "$wallpaper" "$scratch/lotpick-wallpaper.exe"
program=lotpick.exe

# run STATUS SHOWN FILES DONE ARGS...: $program run with ARGS, SHOWN with LF
# line ends, the console's cursor moves over blanks as blanks, its other
# sequences left out.
run() {
    local status=$1 shown=$2 files=$3 done=$4 got_status=0
    shift 4
    step="$program $*"
    (cd "$scratch" && LOTPICK_SEED=1 script -qec "$(printf '%q ' "$wine" "$program" "$@")" /dev/null \
        >"$scratch/shown" 2>&1 </dev/null) || got_status=$?
    check status "$status" "$got_status"
    check shown "$shown" "$(perl -pe 's/\e\[(\d*)C/" " x ($1 || 1)/ge; s/\e\[[0-9;?]*[A-Za-z]//g; s/\r//g' \
        "$scratch/shown"; echo .)"
    check files "$files" "$(cd "$scratch" && find . -type f ! -name '*.exe' ! -name shown | LC_ALL=C sort |
        tr '\n' ' ')"
    check DoneList "$done" "$(contents "$scratch/DoneList")"
    rm -f "$scratch/DoneList"
}

# The daily job keeps lotpick's output to find the pick in, and shows it
# once lotpick has ended: as typed too, whatever the code page.
row="the daily job, a name in UTF-8"
program=lotpick-wallpaper.exe
photo=$'\u5199\u771f \u00e9t\u00e9.jpg'
printf '\xef\xbb\xbf%s\r\n' "$photo" >"$scratch/list.txt"
printf 'the jpg' >"$scratch/$photo"
LOTPICK_APPLY="cmd /d /c rem" run 0 $'1 files picked 0\n'"$photo"$'\n.' \
    "./DoneList.previous ./list.txt ./lotpick-wallpaper.last ./wall.jpg ./$photo " "(none)" list.txt wall.bmp
rm -f "$scratch"/*.jpg "$scratch/DoneList.previous" "$scratch/lotpick-wallpaper.last" "$scratch/list.txt"
program=lotpick.exe
case ${LC_ALL:-${LC_MESSAGES:-${LANG:-C}}} in
    C | C.* | POSIX | en_*) ;;
    *)
        finish
        exit
        ;;
esac

row="a list named in UTF-8 that is missing"
run 1 $'lotpick: cannot read list \'\u0141ista.txt\': File not found\nFile: \u0141ista.txt not found.' \
    "" "(none)" $'\u0141ista.txt' wall.bmp

row="a name in Windows-1252, a destination typed outside OEM 437"
printf 'caf\xe9.jpg\r\n' >"$scratch/list.txt"
printf 'the jpg' >"$scratch/caf"$'\u00e9'".jpg"
run 0 $'1 files picked 0\ncaf\u00e9.jpg\n.' "./DoneList ./caf"$'\u00e9'".jpg ./list.txt ./"$'\u0141\u00f3d\u017a'".jpg " \
    $'caf\xe9.jpg' list.txt $'\u0141\u00f3d\u017a.bmp'
rm -f "$scratch/"$'\u0141\u00f3d\u017a'".jpg" "$scratch/caf"$'\u00e9'".jpg"

row="a name in UTF-8 outside both code pages, whose copy fails"
printf '\xe5\x86\x99\xe7\x9c\x9f.jpg\r\n' >"$scratch/list.txt"
run 2 $'1 files picked 0\n\u5199\u771f.jpg\nlotpick: cannot copy \'\u5199\u771f.jpg\' to \'wall.jpg\': File not found\n.' \
    "./DoneList ./list.txt " $'\u5199\u771f.jpg' list.txt wall.bmp

finish
