#!/bin/bash
# End-to-end runs of examples/schedule/lotpick-wallpaper.cmd under Wine's cmd
# with the Windows lotpick.exe, LOTPICK_APPLY set to a stand-in that records
# the file it is told about (Wine lacks the call that makes Windows take up a
# new wallpaper), and LOTPICK_SEED fixing every draw. Each run's standard
# output, standard error, exit status, the file told and the files left are
# checked.
#
# WINEPREFIX=... wallpaper_cmd_test.sh WINE LOTPICK_EXE SCRIPT SCRATCH
set -euo pipefail

wine=$1 exe=$2 script=$3 scratch=$4
rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(realpath "$scratch")
windows_scratch="Z:${scratch//\//\\}"
# shellcheck source-path=SCRIPTDIR source=checks.sh
source "${BASH_SOURCE[0]%/*}/checks.sh"

# run WHAT SEED STATUS OUT ERR TOLD FILES DONE PREVIOUS [LIST [DESTINATION]]:
# OUT and ERR with LF line ends, TOLD relative to the scratch folder.
run() {
    step=$1
    local seed=$2 status=$3 out=$4 err=$5 told=$6 files=$7 done=$8 previous=$9 list=${10:-list.txt}
    local destination=${11:-$windows_scratch\\my pictures\\wallpaper.jpg} got_status=0
    rm -f "$scratch/job/told.txt"
    (cd "$scratch/job" && LOTPICK_SEED=$seed LOTPICK_APPLY=tell.cmd "$wine" cmd /c lotpick-wallpaper.cmd "$list" \
        "$destination" >"$scratch/out" 2>"$scratch/err") || got_status=$?
    [[ -z $told ]] || told="[$windows_scratch\\${told//\//\\}]"
    check status "$status" "$got_status"
    check "standard output" "$out" "$(tr -d '\r' <"$scratch/out"; echo .)"
    check "standard error" "$err" "$(tr -d '\r' <"$scratch/err"; echo .)"
    check "file told" "$told" "$(tr -d '\r' 2>/dev/null <"$scratch/job/told.txt")"
    check files "$files" "$(cd "$scratch" && find job "my pictures" -type f ! -path 'job/pics/*' ! -name '*.exe' \
        ! -name '*.cmd' ! -name told.txt | LC_ALL=C sort | tr '\n' ' ')"
    check DoneList "$done" "$(contents "$scratch/job/DoneList")"
    check DoneList.previous "$previous" "$(contents "$scratch/job/DoneList.previous")"
}

mkdir -p "$scratch/job/pics" "$scratch/my pictures"
cp "$exe" "$script" "$scratch/job/"
printf '@echo off\r\n>"%%~dp0told.txt" echo [%%~1]\r\nif defined TELL_FAILS exit /b 1\r\n' >"$scratch/job/tell.cmd"
printf 'the jpg' >"$scratch/job/pics/a.jpg"
printf 'the png' >"$scratch/job/pics/b.png"
# As PowerShell 5 writes it with Out-File -Encoding utf8: a byte order mark.
printf '\xef\xbb\xbfpics\\a.jpg\r\npics\\b.png\r\n\r\n' >"$scratch/job/list.txt"
printf 'layers' >"$scratch/my pictures/wallpaper.psd"

a=$'3 files picked 1\npics\\a.jpg\n.'
a_again=$'Selecting new file 1\nSelecting new file 0\nSelecting new file 0\n3 files picked 0\npics\\a.jpg\n.'
b=$'Selecting new file 0\n3 files picked 2\npics\\b.png\n.'
jpg_left="job/DoneList job/list.txt job/lotpick-wallpaper.last my pictures/wallpaper.jpg my pictures/wallpaper.psd "
both_left="job/DoneList job/DoneList.previous ${jpg_left#job/DoneList }"
run "a first pick" 1 0 "$a" . "my pictures/wallpaper.jpg" "$jpg_left" 'pics\a.jpg' "(none)"
run "every draw done, not every name" 1 0 "$a_again" . "my pictures/wallpaper.jpg" "$jpg_left" \
    $'pics\\a.jpg\r\npics\\a.jpg' "(none)"
run "the last name: another extension, and a new round" 2 0 "$b" . "my pictures/wallpaper.png" \
    "job/DoneList.previous job/list.txt job/lotpick-wallpaper.last my pictures/wallpaper.png my pictures/wallpaper.psd " \
    "(none)" $'pics\\a.jpg\r\npics\\a.jpg\r\npics\\b.png'
run "a pick from the whole list again" 1 0 "$a" . "my pictures/wallpaper.jpg" "$both_left" 'pics\a.jpg' \
    $'pics\\a.jpg\r\npics\\a.jpg\r\npics\\b.png'
run "a list that is not there" 1 1 "File: nope.txt not found." $'lotpick: cannot read list \'nope.txt\': File not found\n.' \
    "" "$both_left" 'pics\a.jpg' $'pics\\a.jpg\r\npics\\a.jpg\r\npics\\b.png' nope.txt
mv "$scratch/job/pics/b.png" "$scratch/b.png"
run "a copy that fails" 2 2 "$b" \
    "lotpick: cannot copy 'pics\\b.png' to '$windows_scratch\\my pictures\\wallpaper.png': File not found"$'\n.' "" \
    "$both_left" $'pics\\a.jpg\r\npics\\b.png' $'pics\\a.jpg\r\npics\\a.jpg\r\npics\\b.png'
mv "$scratch/b.png" "$scratch/job/pics/b.png"
TELL_FAILS=1 run "a wallpaper that cannot be shown; every name done before the run" 1 3 "$a_again" \
    "lotpick-wallpaper: cannot show '$windows_scratch\\my pictures\\wallpaper.jpg': LOTPICK_APPLY failed"$'\n.' \
    "my pictures/wallpaper.jpg" "job/DoneList.previous ${jpg_left#job/DoneList }" "(none)" \
    $'pics\\a.jpg\r\npics\\b.png\r\npics\\a.jpg'

# The file told about follows lotpick's naming, a relative destination
# resolved against the script's folder.
for n in "wall|a.jpg|wall.jpg" "wall.bmp|old.d\\file|wall.bmp" "wall.bmp|.profile|wall.bmp" \
    "my.dir\\wall|archive.tar.gz|my.dir/wall.gz"; do
    IFS='|' read -r destination picked written <<<"$n"
    rm -f "$scratch/job/DoneList" "$scratch/job/DoneList.previous" "$scratch/job/lotpick-wallpaper.last"
    mkdir -p "$scratch/job/old.d" "$scratch/job/my.dir"
    printf 'picked' >"$scratch/job/${picked//\\//}"
    printf '%s\r\n' "$picked" >"$scratch/job/one.txt"
    step="$destination and $picked"
    (cd "$scratch/job" && LOTPICK_SEED=1 LOTPICK_APPLY=tell.cmd "$wine" cmd /c lotpick-wallpaper.cmd one.txt \
        "$destination" >/dev/null 2>&1) || check status 0 $?
    check "file told" "[$windows_scratch\\job\\${written//\//\\}]" "$(tr -d '\r' <"$scratch/job/told.txt")"
    check "file written" picked "$(contents "$scratch/job/$written")"
done

finish
