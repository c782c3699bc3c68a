#!/bin/bash
# lotpick-wallpaper.exe under Wine with the lotpick.exe just built, over names
# outside the ANSI code page and full of what cmd would read as its own: a
# destination "Tapeta Łódź %OS% ^&!.jpg", and a UTF-8 list with a byte order
# mark holding "写真 été.jpg" and "100% x.png". LOTPICK_APPLY stands in for
# the wallpaper call: "xcopy /y /q" copies the file it is told about into the
# job folder, where it is checked, so a name cmd had read would miss. After
# each of 20 runs exactly one picture is left beside the user's own file, the
# one told; the done list never holds every name, as a new round starts then;
# and a failed apply ends with status 3 and a message. Then one row for each
# way the job can fail to reach lotpick, for the default destination, for two
# jobs in one folder and for a crash while the job writes what it remembers.
# The system's reasons are in the locale's language: only what comes before
# them is checked. Given fewer RUNS (for another code page, where only the
# names can come out otherwise), it makes that many runs and a failed apply,
# and a new round must start at least once.
#
# WINEPREFIX=... wallpaper_exe_test.sh WINE LOTPICK_EXE WALLPAPER_EXE SCRATCH [RUNS]
set -euo pipefail

wine=$1 exe=$2 wallpaper=$3 scratch=$4 runs=${5:-20}
rm -rf "$scratch"
mkdir -p "$scratch/job/pics" "$scratch/my pictures"
scratch=$(realpath "$scratch")
windows_scratch="Z:${scratch//\//\\}"
# shellcheck source-path=SCRIPTDIR source=checks.sh
source "${BASH_SOURCE[0]%/*}/checks.sh"
cp "$exe" "$wallpaper" "$scratch/job/"
stem=$'Tapeta \u0141\u00f3d\u017a %OS% ^&!'
destination="$windows_scratch\\my pictures\\$stem.jpg"
printf 'the jpg' >"$scratch/job/pics/"$'\u5199\u771f \u00e9t\u00e9'.jpg
printf 'the png' >"$scratch/job/pics/100% x.png"
# Seeds 1 to 20 draw the first two lines of three: the third repeats one.
printf '\xef\xbb\xbfpics\\100%% x.png\r\npics\\\xe5\x86\x99\xe7\x9c\x9f \xc3\xa9t\xc3\xa9.jpg\r\npics\\100%% x.png\r\n' \
    >"$scratch/job/list.txt"
printf 'layers' >"$scratch/my pictures/$stem.psd"

# run_in FOLDER SEED APPLY [ARGS...]: the job of FOLDER, its status in
# $status, its standard error in $err. It is started from elsewhere, as Task
# Scheduler starts it, and goes to its folder itself.
run_in() {
    local folder=$1 seed=$2 apply=$3
    shift 3
    status=0
    err=$(cd "$scratch" && LOTPICK_SEED=$seed LOTPICK_APPLY=$apply "$wine" "$folder/lotpick-wallpaper.exe" "$@" \
        2>&1 >/dev/null) || status=$?
}

# run SEED APPLY: the job folder's job, from list.txt onto the destination.
run() { run_in "$scratch/job" "$1" "$2" list.txt "$destination"; }

rounds=0
for seed in $(seq 1 "$runs"); do
    step="run $seed"
    rm -f "$scratch/job/$stem".*
    run "$seed" "xcopy /y /q"
    check status 0 "$status"
    check "standard error" "" "$err"
    left=$(cd "$scratch/my pictures" && find . -type f ! -name "$stem.psd" | tr '\n' ' ')
    check "pictures left" 1 "$(wc -w <<<"${left//"$stem"/x}")"
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
step="$runs runs"
check "new rounds" 1 "$((rounds >= (runs < 20 ? 1 : 3)))"

step="a failed apply"
run 21 "cmd /d /c exit 1"
check status 3 "$status"
check "standard error" "lotpick-wallpaper: cannot show '" "${err%%Z:*}"
if ((runs < 20)); then
    finish
    exit
fi

# A job folder of its own, holding the list of one name and what FILES name
# (lotpick.exe, lotpick-wallpaper.exe or both); its path in $folder.
make_job() {
    folder=$scratch/$1
    mkdir -p "$folder"
    printf 'the jpg' >"$folder/a.jpg"
    printf 'a.jpg\r\n' >"$folder/list.txt"
    [[ $2 == *lotpick.exe* ]] && cp "$exe" "$folder/"
    [[ $2 == *lotpick-wallpaper.exe* ]] && cp "$wallpaper" "$folder/"
    return 0
}

step="no lotpick.exe beside it"
make_job alone lotpick-wallpaper.exe
run_in "$folder" 1 "cmd /d /c rem" list.txt wall.bmp
check status 3 "$status"
check "standard error" "lotpick-wallpaper: cannot start '$windows_scratch\\alone\\lotpick.exe': " "${err%%\': *}': "

# Windows lets no current folder be that long, and says so; Wine does, but
# then starts no program there. The folder's path is held at 258 characters
# wherever the scratch folder is: Wine itself cannot start a program whose
# path is much longer, and at some lengths crashes trying.
step="a folder too long for lotpick.exe's path to fit 260 characters"
make_job "$(printf 'f%.0s' $(seq $((258 - ${#scratch} - 1))))" "lotpick.exe lotpick-wallpaper.exe"
run_in "$folder" 1 "cmd /d /c rem" list.txt wall.bmp
check status 3 "$status"
check "standard error" "lotpick-wallpaper: cannot " "${err:0:26}"
check "done list" "(none)" "$(contents "$folder/DoneList")"

# The Pictures folder moved elsewhere, as OneDrive moves it: the registry
# says where, and is set back afterwards.
step="no arguments: wallpapers.txt for wallpaper.jpg in the Pictures folder"
make_job default "lotpick.exe lotpick-wallpaper.exe"
mv "$folder/list.txt" "$folder/wallpapers.txt"
mkdir -p "$scratch/moved pictures"
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
set_pictures() { "$wine" reg add "$shell_folders" /v "My Pictures" /t REG_EXPAND_SZ /d "$1" /f >/dev/null; }
trap 'set_pictures "%USERPROFILE%\\Pictures"' EXIT
set_pictures "$windows_scratch\\moved pictures"
run_in "$folder" 1 "cmd /d /c rem"
set_pictures "%USERPROFILE%\\Pictures"
trap - EXIT
check status 0 "$status"
check "copy" "the jpg" "$(contents "$scratch/moved pictures/wallpaper.jpg")"

# Two jobs in one folder, onto two destinations: each one's earlier file is
# removed by its own next run, whatever the other wrote meanwhile.
step="two jobs in one folder"
make_job two "lotpick.exe lotpick-wallpaper.exe"
printf 'the png' >"$folder/b.png"
printf 'b.png\r\n' >"$folder/png.txt"
run_in "$folder" 1 "cmd /d /c rem" list.txt "$windows_scratch\\two\\first.bmp"
run_in "$folder" 1 "cmd /d /c rem" list.txt "$windows_scratch\\two\\second.bmp"
run_in "$folder" 1 "cmd /d /c rem" png.txt "$windows_scratch\\two\\first.bmp"
check status 0 "$status"
check "pictures" "./first.png ./second.jpg " "$(cd "$folder" && find . -name 'first.*' -o -name 'second.*' | sort | tr '\n' ' ')"

# What the job remembers is written whole before it replaces the old: a
# crash in the middle (here the file size limit, which ends the process
# while it writes) leaves the other job's files remembered.
step="a crash while the remembered files are written"
remembered=$(for i in {1..40}; do printf '%s\\other\\picture %s.jpg\r\n' "$windows_scratch" "$i"; done)
printf '%s' "$remembered" >"$folder/lotpick-wallpaper.last"
(ulimit -f 1 && run_in "$folder" 1 "cmd /d /c rem" list.txt "$windows_scratch\\two\\first.bmp") || true
check remembered "$remembered" "$(contents "$folder/lotpick-wallpaper.last")"

finish
