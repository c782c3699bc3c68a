#!/bin/bash
# lotpick-wallpaper.exe under Wine with the lotpick.exe just built, over names
# outside the ANSI code page: a destination "Tapeta Łódź.jpg", and a UTF-8 list
# with a byte order mark holding "写真 été.jpg" and "100% x.png".
# LOTPICK_APPLY stands in for the wallpaper call: "copy /y" copies the file it
# is told about into the job folder, where it is checked. After each of 20
# runs exactly one picture is left beside the user's own file, the one told;
# the done list never holds every name, as a new round starts then; and a
# failed apply ends with status 3 and a message.
#
# WINEPREFIX=... wallpaper_exe_test.sh WINE LOTPICK_EXE WALLPAPER_EXE SCRATCH
set -euo pipefail

wine=$1 exe=$2 wallpaper=$3 scratch=$4
rm -rf "$scratch"
mkdir -p "$scratch/job/pics" "$scratch/my pictures"
scratch=$(realpath "$scratch")
# shellcheck source-path=SCRIPTDIR source=checks.sh
source "${BASH_SOURCE[0]%/*}/checks.sh"
cp "$exe" "$wallpaper" "$scratch/job/"
stem=$'Tapeta \u0141\u00f3d\u017a'
destination="Z:${scratch//\//\\}\\my pictures\\$stem.jpg"
printf 'the jpg' >"$scratch/job/pics/"$'\u5199\u771f \u00e9t\u00e9'.jpg
printf 'the png' >"$scratch/job/pics/100% x.png"
# Seeds 1 to 20 draw the first two lines of three: the third repeats one.
printf '\xef\xbb\xbfpics\\100%% x.png\r\npics\\\xe5\x86\x99\xe7\x9c\x9f \xc3\xa9t\xc3\xa9.jpg\r\npics\\100%% x.png\r\n' \
    >"$scratch/job/list.txt"
printf 'layers' >"$scratch/my pictures/$stem.psd"

# run SEED APPLY: the wrapper's status in $status, its standard error in $err.
run() {
    status=0
    err=$(cd "$scratch/job" && LOTPICK_SEED=$1 LOTPICK_APPLY=$2 "$wine" lotpick-wallpaper.exe list.txt \
        "$destination" 2>&1 >/dev/null) || status=$?
}

rounds=0
for seed in $(seq 1 20); do
    step="run $seed"
    rm -f "$scratch/job/$stem".*
    run "$seed" "copy /y"
    check status 0 "$status"
    check "standard error" "" "$err"
    left=$(cd "$scratch/my pictures" && find . -type f ! -name "$stem.psd" | tr '\n' ' ')
    check "pictures left" 1 "$(wc -w <<<"${left//$stem/x}")"
    shown=$(cd "$scratch/job" && find . -maxdepth 1 -name "$stem.*" | tr '\n' ' ')
    check "file told" "$left" "$shown"
    check "own file" layers "$(contents "$scratch/my pictures/$stem.psd")"
    if [[ ! -f $scratch/job/DoneList ]]; then
        rounds=$((rounds + 1))
        check "done list of a finished round" 2 "$(tr -d '\r' <"$scratch/job/DoneList.previous" | sort -u | grep -c .)"
    else
        check "done list entries" 1 "$(($(tr -d '\r' <"$scratch/job/DoneList" | sort -u | grep -c .) < 2))"
    fi
done
step="20 runs"
check "new rounds" 1 "$((rounds >= 3))"

step="a failed apply"
run 21 "exit /b 1 &rem"
check status 3 "$status"
check "standard error" "lotpick-wallpaper: cannot show '" "${err%%Z:*}"
finish
