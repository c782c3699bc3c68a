#!/bin/bash
# End-to-end runs of examples/schedule/lotpick-wallpaper (under dash when it is
# there) with the real lotpick, stand-ins for each desktop's command that
# record their arguments, and LOTPICK_SEED fixing every draw. Each run's
# standard output, standard error, exit status, desktop calls and files left
# are checked.
#
# wallpaper_test.sh LOTPICK WRAPPER SCRATCH
set -euo pipefail

lotpick=$(realpath "$1") wrapper=$(realpath "$2") scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(realpath "$scratch")
shell=$(command -v dash || echo /bin/sh)
# shellcheck source-path=SCRIPTDIR source=checks.sh
source "${BASH_SOURCE[0]%/*}/checks.sh"

# One stand-in under every name: records its name, its arguments and the
# session bus it was given, fails when asked to (STAND_IN_FAILS, or a file
# named after it with a "!" beside it), prints SAYS as systemctl, ps or uname,
# and lists Xfce's properties as a two-monitor desktop has them. show-it is on
# the PATH for every run; the desktops' commands only for their rows.
make_stand_ins() {
    mkdir -p "$scratch/bin"
    cat >"$scratch/bin/stand-in" <<'EOF'
#!/bin/sh
name=${0##*/}
{ printf '%s' "$name"; printf ' [%s]' "$@"; printf '%s\n' "${DBUS_SESSION_BUS_ADDRESS:+ bus=$DBUS_SESSION_BUS_ADDRESS}"; } >>"$CALLS"
[ -z "${STAND_IN_FAILS:-}" ] && [ ! -e "$0!" ] || { echo "$name: failed" >&2; exit 1; }
case $name in systemctl | ps | uname) printf '%s\n' "${SAYS:-}" ;; esac
[ "$*" != "-c xfce4-desktop -l" ] || printf '%s\n' /backdrop/screen0/monitorHDMI-1/workspace0/last-image \
    /backdrop/screen0/monitorHDMI-1/workspace0/image-style /backdrop/screen0/monitoreDP-1/workspace0/last-image
EOF
    chmod +x "$scratch/bin/stand-in"
    ln -sf stand-in "$scratch/bin/show-it"
}

# The stand-ins of one row, alone in the folder first on the PATH; NAME! fails.
put_on_path() {
    rm -rf "$scratch/desktop" && mkdir "$scratch/desktop"
    local name
    for name in "$@"; do
        ln -s "$scratch/bin/stand-in" "$scratch/desktop/${name%!}"
        [[ $name != *! ]] || : >"$scratch/desktop/$name"
    done
}

# The folder the job runs in, two pictures named by a list that ends with a
# blank line, and beside the wallpaper a file of the user's own.
arrange() {
    rm -rf "$scratch/job" "$scratch/my pictures"
    mkdir -p "$scratch/job/pics" "$scratch/my pictures"
    printf 'the jpg' >"$scratch/job/pics/a.jpg"
    printf 'the png' >"$scratch/job/pics/b.png"
    printf 'pics/a.jpg\npics/b.png\n\n' >"$scratch/job/list.txt"
    printf 'layers' >"$scratch/my pictures/wallpaper.psd"
}

# A file's text with a "." after it, so that its last line ends are kept;
# bash reads it without starting cat, as it does $(<FILE).
whole() {
    local text
    IFS= read -r -d '' text <"$1" || true
    printf '%s.' "$text"
}

listing() {
    (cd "$scratch" && find job "my pictures" -type f ! -path 'job/pics/*' | LC_ALL=C sort | tr '\n' ' ')
}

# The last name left to draw, and beside the wallpaper the file of another
# extension that the run before wrote.
arrange_last_name() {
    arrange
    printf 'pics/b.png' >"$scratch/job/DoneList"
    printf 'the png' >"$scratch/my pictures/wallpaper.png"
    printf '%s\n' "$scratch/my pictures/wallpaper.png" >"$scratch/job/lotpick-wallpaper.last"
}

# not_shown REFUSES WORDS: the pick of the last name, which the desktop is not
# told about (refuses it when REFUSES is set): status 3, the earlier file kept,
# the new round started all the same.
not_shown() {
    local err="lotpick-wallpaper: cannot show 'FILE': $2"$'\n.'
    [[ -z $1 ]] || err="${template%%[[ ]*}: failed"$'\n'$err
    STAND_IN_FAILS=$1 run "the last name, not shown" 1 3 "$a" "$err" wallpaper.jpg \
        "job/DoneList.previous job/list.txt job/lotpick-wallpaper.last my pictures/wallpaper.jpg my pictures/wallpaper.png my pictures/wallpaper.psd " \
        "(none)" $'pics/b.png\r\npics/a.jpg'
}

# run WHAT SEED STATUS OUT ERR TOLD FILES DONE PREVIOUS [LIST]: one run of the
# wrapper and what it must leave. TOLD is the wallpaper the desktop is told
# about ("" for none), FILES every file left beside the list and the wallpaper.
run() {
    step=$1
    local seed=$2 status=$3 out=$4 err=$5 told=$6 files=$7 done=$8 previous=$9 list=${10:-list.txt}
    local dest="$scratch/my pictures/wallpaper.jpg" calls=""
    : >"$scratch/calls"
    local got_status=0
    (cd "$scratch/job" && LOTPICK_SEED=$seed "$shell" "$wrapper" "$list" "$dest" \
        >"$scratch/out" 2>"$scratch/err") || got_status=$?
    if [[ -n $told ]]; then
        calls=${template//FILE/$scratch/my pictures/$told}
        calls=${calls//URI/file://$scratch/my%20pictures/$told}
        [[ -z ${STAND_IN_FAILS:-} ]] || calls=${calls%%;*}
        calls=${calls//;/$'\n'}
    fi
    check status "$status" "$got_status"
    check "standard output" "$out" "$(whole "$scratch/out")"
    check "standard error" "${err//FILE/$scratch/my pictures/$told}" "$(whole "$scratch/err")"
    check "desktop calls" "$calls" "$(<"$scratch/calls")"
    check files "$files" "$(listing)"
    check DoneList "$done" "$(contents "$scratch/job/DoneList")"
    check DoneList.previous "$previous" "$(contents "$scratch/job/DoneList.previous")"
    [[ $status != 0 ]] || check wallpaper "the ${told##*.}" "$(contents "$scratch/my pictures/$told")"
}

# The system's commands that the wrapper and this test start, alone in a
# folder of their own: nothing else the machine has installed (a real feh,
# ps or gsettings) can answer where a row has no stand-in.
mkdir -p "$scratch/system"
for tool in awk cat chmod cp cut dash env find grep id kill ln ls mkdir mktemp mv realpath rm sed sh sleep sort \
    tee tr uname; do
    ! command -v "$tool" >/dev/null || ln -s "$(command -v "$tool")" "$scratch/system/$tool"
done

make_stand_ins
PATH="$scratch/desktop:$scratch/bin:${lotpick%/*}:$scratch/system"
export PATH CALLS="$scratch/calls"
unset LOTPICK LOTPICK_APPLY XDG_CURRENT_DESKTOP STAND_IN_FAILS SAYS XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS

# A session seen only through its processes: a window manager whose
# environment holds the session's bus.
DBUS_SESSION_BUS_ADDRESS=unix:path=/wm/bus sleep 600 >/dev/null 2>&1 &
wm_pid=$!
trap 'kill $wm_pid' EXIT
uid=$(id -u)

gnome_calls="gsettings [set] [org.gnome.desktop.background] [picture-uri] [URI];\
gsettings [writable] [org.gnome.desktop.background] [picture-uri-dark];\
gsettings [set] [org.gnome.desktop.background] [picture-uri-dark] [URI]"
xfce_calls="xfconf-query [-c] [xfce4-desktop] [-l];\
xfconf-query [-c] [xfce4-desktop] [-p] [/backdrop/screen0/monitorHDMI-1/workspace0/last-image] [-s] [FILE];\
xfconf-query [-c] [xfce4-desktop] [-p] [/backdrop/screen0/monitoreDP-1/workspace0/last-image] [-s] [FILE]"
osascript_calls="osascript [-e] [on run argv] \
[-e] [tell application \"System Events\" to tell every desktop to set picture to (item 1 of argv)] [-e] [end run] [FILE]"
systemctl_call="systemctl [--user] [show-environment]"
ps_call="ps [-u] [$uid] [-o] [pid=] [-o] [comm=]"
unknown="no desktop known here in"
unknown_end="; set LOTPICK_APPLY to a command that shows a picture"

# A row a desktop: its name; XDG_CURRENT_DESKTOP ("" for none, as under cron);
# LOTPICK_APPLY; the stand-ins on the PATH; what systemctl, ps or uname say
# (";" between lines); the calls that tell it about a wallpaper; and the
# wrapper's words when they fail, or after a "!" when it finds no way to tell
# the desktop at all. The first four rows go through whole rounds; each other
# row through one pick of the last name, which leaves one file and starts a
# new round, and when it has words, a second such pick that is not shown.
rows=(
    "GNOME|ubuntu:GNOME||gsettings||$gnome_calls|the GNOME desktop refused it"
    "KDE Plasma|KDE||plasma-apply-wallpaperimage||plasma-apply-wallpaperimage [FILE]|the KDE desktop refused it"
    "Xfce|XFCE||xfconf-query||$xfce_calls|the XFCE desktop refused it"
    "LOTPICK_APPLY before the desktop|GNOME|show-it --fill|gsettings||show-it [--fill] [FILE]|LOTPICK_APPLY failed"
    "Pantheon|Pantheon||gsettings||$gnome_calls|"
    "Unity|Unity||gsettings||$gnome_calls|"
    "Cinnamon|X-Cinnamon||gsettings||gsettings [set] [org.cinnamon.desktop.background] [picture-uri] [URI]|"
    "MATE|MATE||gsettings||gsettings [set] [org.mate.background] [picture-filename] [FILE]|the MATE desktop refused it"
    "LXQt|LXQt||pcmanfm-qt||pcmanfm-qt [--set-wallpaper] [FILE]|"
    "LXDE|LXDE||pcmanfm||pcmanfm [--set-wallpaper] [FILE]|"
    "sway|sway||swaymsg||swaymsg [output] [*] [bg] [\"FILE\"] [fill]|the sway desktop refused it"
    "Hyprland with hyprpaper|Hyprland||hyprctl||hyprctl [hyprpaper] [unload] [FILE];\
hyprctl [hyprpaper] [preload] [FILE];hyprctl [hyprpaper] [wallpaper] [,FILE]|"
    "Hyprland with swww|Hyprland||swww hyprctl||swww [query];swww [img] [FILE]|"
    "i3 with feh|i3||feh xwallpaper nitrogen||feh [--bg-fill] [FILE]|the i3 desktop refused it"
    "bspwm with xwallpaper|bspwm||xwallpaper nitrogen||xwallpaper [--zoom] [FILE]|"
    "Openbox with nitrogen|Openbox||nitrogen||nitrogen [--set-zoom-fill] [--save] [FILE]|"
    "a window manager with no setter|i3|||||!i3 has none of feh, xwallpaper or nitrogen; install one, or set LOTPICK_APPLY"
    "macOS|||uname osascript|Darwin|uname [-s];$osascript_calls|"
    "cron, the session's desktop from systemd|||systemctl plasma-apply-wallpaperimage|\
LANG=C.UTF-8;XDG_CURRENT_DESKTOP=KDE;DBUS_SESSION_BUS_ADDRESS=unix:path=/session/bus|\
$systemctl_call;plasma-apply-wallpaperimage [FILE] bus=unix:path=/session/bus|"
    "cron, a window manager among the session's processes|||systemctl! ps feh|1 Xorg;$wm_pid xmonad-x86_64-l;6 i3|\
$systemctl_call;$ps_call;feh [--bg-fill] [FILE] bus=unix:path=/wm/bus|"
    "cron, the first desktop among them before any window manager|||systemctl! ps feh gsettings \
plasma-apply-wallpaperimage|1 Xorg;4 i3;$wm_pid /usr/bin/plasmashell;5 gnome-shell|\
$systemctl_call;$ps_call;plasma-apply-wallpaperimage [FILE] bus=unix:path=/wm/bus|"
    "cron, no desktop found, a value systemd quotes left|||systemctl ps|XDG_CURRENT_DESKTOP=\$'x y'|$systemctl_call;$ps_call|!$unknown the session ('')$unknown_end"
    "a desktop not known here|Deepin||gsettings|||!$unknown XDG_CURRENT_DESKTOP ('Deepin')$unknown_end"
)
a=$'3 files picked 1\npics/a.jpg\n.'
a_again=$'Selecting new file 1\nSelecting new file 0\nSelecting new file 0\n3 files picked 0\npics/a.jpg\n.'
b=$'Selecting new file 0\n3 files picked 2\npics/b.png\n.'
for i in "${!rows[@]}"; do
    IFS='|' read -r row desktop apply stand_ins says template refusal <<<"${rows[i]}"
    if [[ -n $desktop ]]; then export XDG_CURRENT_DESKTOP=$desktop; else unset XDG_CURRENT_DESKTOP; fi
    if [[ -n $apply ]]; then export LOTPICK_APPLY=$apply; else unset LOTPICK_APPLY; fi
    export SAYS=${says//;/$'\n'}
    # shellcheck disable=SC2086 # a name a word
    put_on_path $stand_ins
    jpg_left="job/DoneList job/list.txt job/lotpick-wallpaper.last my pictures/wallpaper.jpg my pictures/wallpaper.psd "
    both_left="job/DoneList job/DoneList.previous ${jpg_left#job/DoneList }"
    previous_only="job/DoneList.previous ${jpg_left#job/DoneList }"
    if ((i >= 4)); then
        arrange_last_name
        if [[ $refusal == !* ]]; then
            not_shown "" "${refusal#!}"
        else
            run "the last name" 1 0 "$a" . wallpaper.jpg "$previous_only" "(none)" $'pics/b.png\r\npics/a.jpg'
            [[ -z $refusal ]] || { arrange_last_name && not_shown 1 "$refusal"; }
        fi
        continue
    fi
    arrange
    run "a first pick" 1 0 "$a" . wallpaper.jpg "$jpg_left" pics/a.jpg "(none)"
    # Three redraws, as many as the list has line ends, and yet b.png is
    # not done: no new round.
    run "every draw done, not every name" 1 0 "$a_again" . wallpaper.jpg "$jpg_left" \
        $'pics/a.jpg\r\npics/a.jpg' "(none)"
    run "the last name: another extension, and a new round" 2 0 "$b" . wallpaper.png \
        "job/DoneList.previous job/list.txt job/lotpick-wallpaper.last my pictures/wallpaper.png my pictures/wallpaper.psd " \
        "(none)" $'pics/a.jpg\r\npics/a.jpg\r\npics/b.png'
    run "a pick from the whole list again" 1 0 "$a" . wallpaper.jpg "$both_left" pics/a.jpg \
        $'pics/a.jpg\r\npics/a.jpg\r\npics/b.png'
    run "a list that is not there" 1 1 "File: nope.txt not found." \
        $'lotpick: cannot read list \'nope.txt\': No such file or directory\n.' "" "$both_left" \
        pics/a.jpg $'pics/a.jpg\r\npics/a.jpg\r\npics/b.png' nope.txt
    mv "$scratch/job/pics/b.png" "$scratch/b.png"
    run "a copy that fails" 2 2 "$b" \
        "lotpick: cannot copy 'pics/b.png' to '$scratch/my pictures/wallpaper.png': No such file or directory"$'\n.' "" \
        "$both_left" \
        $'pics/a.jpg\r\npics/b.png' $'pics/a.jpg\r\npics/a.jpg\r\npics/b.png'
    # Every name done before the run: the done list goes all the same.
    STAND_IN_FAILS=1 run "a desktop that refuses" 1 3 "$a_again" \
        "${template%%[[ ]*}: failed"$'\n'"lotpick-wallpaper: cannot show 'FILE': $refusal"$'\n.' wallpaper.jpg \
        "$previous_only" \
        "(none)" $'pics/a.jpg\r\npics/b.png\r\npics/a.jpg'
    mv "$scratch/b.png" "$scratch/job/pics/b.png"
done

# The file told about follows lotpick's naming: a stand-in lotpick (through
# LOTPICK) prints each picked name, and LOTPICK_APPLY records what it is told.
row="naming"
cat >"$scratch/bin/fake-lotpick" <<'EOF'
#!/bin/sh
printf '1 files picked 0\n%s\n' "$PICKED"
EOF
chmod +x "$scratch/bin/fake-lotpick"
naming=(
    "wall.bmp|pics/a.jpg|wall.jpg" "wall|a.jpg|wall.jpg" "wall.bmp|README|wall.bmp" "wall.bmp|archive.tar.gz|wall.gz"
    "my.dir/wall|a.jpg|my.dir/wall.jpg" ".bmp|a.jpg|.bmp.jpg" "dir/.bmp|a.jpg|dir/.bmp.jpg" "wall.bmp|.profile|wall.bmp"
    "wall.bmp|old.d/file|wall.bmp" 'wall.bmp|old.d\file|wall.bmp' "wall.|a.jpg|wall.jpg" "wall.bmp|a.|wall."
    "/abs/wall.bmp|pics/a.jpg|/abs/wall.jpg"
)
for n in "${naming[@]}"; do
    IFS='|' read -r destination picked told <<<"$n"
    step="$destination and $picked"
    [[ $told == /* ]] || told=$scratch/job/$told
    rm -rf "$scratch/job" && mkdir "$scratch/job"
    : >"$scratch/calls"
    (cd "$scratch/job" && LOTPICK=fake-lotpick LOTPICK_APPLY=show-it PICKED=$picked "$shell" "$wrapper" list.txt \
        "$destination" >/dev/null)
    check "file told" "show-it [$told]" "$(<"$scratch/calls")"
done

# The crontab line as cron runs it: from a bare environment, with lotpick
# installed in ~/.local/bin and the wrapper beside the list. Nothing may reach
# standard output or standard error, or cron mails it.
row="crontab"
step="the line of crontab.txt"
line=$(grep -v '^#' "${wrapper%/*}/crontab.txt")
check "a % in the line, which cron takes for a line end" "" "${line//[^%]/}"
home=$scratch/home
mkdir -p "$home/.local/bin" "$home/.local/share/lotpick/pics" "$home/Pictures"
cp "$lotpick" "$home/.local/bin/"
cp "$wrapper" "$home/.local/share/lotpick/lotpick-wallpaper"
ln -s "$scratch/bin/stand-in" "$home/.local/bin/gsettings"
ln -s "$scratch/bin/stand-in" "$home/.local/bin/systemctl"
printf 'the jpg' >"$home/.local/share/lotpick/pics/a.jpg"
printf 'pics/a.jpg\n\n' >"$home/.local/share/lotpick/wallpapers.txt"
: >"$scratch/calls"
cron_status=0
env -i HOME="$home" CALLS="$scratch/calls" LOTPICK_SEED=1 PATH=/usr/bin:/bin \
    SAYS=$'XDG_CURRENT_DESKTOP=ubuntu:GNOME\nDBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus' "$shell" -c \
    "$(cut -d ' ' -f 6- <<<"$line")" >"$scratch/out" 2>"$scratch/err" || cron_status=$?
check status 0 "$cron_status"
check "standard output and error" "" "$(<"$scratch/out")$(<"$scratch/err")"
told=${gnome_calls//URI/file://$home/Pictures/wallpaper.jpg}
check "desktop told" "$systemctl_call"$'\n'"${told//;/ bus=unix:path=/run/user/1000/bus$'\n'} bus=unix:path=/run/user/1000/bus" \
    "$(<"$scratch/calls")"
check wallpaper "the jpg" "$(contents "$home/Pictures/wallpaper.jpg")"

finish
