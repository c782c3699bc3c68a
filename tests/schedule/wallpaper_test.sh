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

# One stand-in under every name: records its name, its arguments, and the
# session bus (when not the job's own), sway socket and Hyprland instance it
# was given; fails when asked to (STAND_IN_FAILS, or a file named after it
# with a "!" beside it), hangs ignoring SIGTERM beside a "~"; prints SAYS as
# systemctl, ps, uname or xfconf-query -l. As gsettings and xfconf-query it
# keeps what is set in SETTINGS and prints it back, as pcmanfm-qt it writes
# the picture into the settings of the profile SAYS runs, and as gsettings with no
# session bus it warns and keeps nothing. show-it is on the PATH for every
# run; the desktops' commands only for their rows.
make_stand_ins() {
    mkdir -p "$scratch/bin"
    cat >"$scratch/bin/stand-in" <<'EOF'
#!/bin/sh
name=${0##*/}
bus=${DBUS_SESSION_BUS_ADDRESS:-}
[ "$bus" != unix:path=/job/bus ] || bus=
{ printf '%s' "$name"; printf ' [%s]' "$@"
  printf '%s%s%s\n' "${bus:+ bus=$bus}" "${SWAYSOCK:+ sock=$SWAYSOCK}" "${HYPRLAND_INSTANCE_SIGNATURE:+ hypr=$HYPRLAND_INSTANCE_SIGNATURE}"; } >>"$CALLS"
[ -z "${STAND_IN_FAILS:-}" ] && [ ! -e "$0!" ] || { echo "$name: failed" >&2; exit 1; }
[ ! -e "$0~" ] || { trap '' TERM; exec sleep 600; }
case $name in systemctl | ps | uname) printf '%s\n' "${SAYS:-}" ;; esac
case "$name ${1:-} $#" in
    "gsettings set 4")
        [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { echo 'failed to commit changes to dconf: no bus' >&2; exit 0; }
        printf "'%s'\n" "$4" >"$SETTINGS/$3" ;;
    "gsettings get 3") if [ -f "$SETTINGS/$3" ]; then read -r v <"$SETTINGS/$3"; printf '%s\n' "$v"; else echo "''"; fi ;;
    "xfconf-query -c 3") printf '%s\n' "$SAYS" ;;
    "xfconf-query -c 6") printf '%s\n' "$6" >"$SETTINGS/$(printf '%s' "$4" | tr / -)" ;;
    "pcmanfm-qt --set-wallpaper"*)
        settings=$XDG_CONFIG_HOME/pcmanfm-qt/$(printf '%s' "$SAYS" | sed 's/.*--profile[= ]//')/settings.conf
        { grep -v '^Wallpaper=' "$settings"; echo "Wallpaper=$2"; } >"$settings.new" 2>/dev/null
        mv "$settings.new" "$settings" ;;
    "xfconf-query -c 4") read -r v <"$SETTINGS/$(printf '%s' "$4" | tr / -)"; printf '%s\n' "$v" ;;
esac
EOF
    chmod +x "$scratch/bin/stand-in"
    ln -sf stand-in "$scratch/bin/show-it"
}

# The stand-ins of one row, alone in the folder first on the PATH; NAME!
# fails, NAME~ hangs.
put_on_path() {
    rm -rf "$scratch/desktop" && mkdir "$scratch/desktop"
    local name
    for name in "$@"; do
        ln -s "$scratch/bin/stand-in" "$scratch/desktop/${name%[~!]}"
        [[ $name != *[~!] ]] || : >"$scratch/desktop/$name"
    done
}

# The wrapper's own PATH ends in a folder of lotpick and the few system tools
# it needs, so that no desktop program this machine has (feh, gsettings) is
# ever found in place of a row's stand-ins.
system_tools() {
    mkdir -p "$scratch/system"
    local tool
    for tool in sh awk cat grep id ls mktemp mv rm sed sleep tee timeout tr uname; do
        if path=$(type -P "$tool"); then ln -s "$path" "$scratch/system/$tool"; fi
    done
    ln -s "$lotpick" "$scratch/system/lotpick"
    # As on macOS, where there may be no timeout.
    cp -a "$scratch/system" "$scratch/system-without-timeout"
    rm -f "$scratch/system-without-timeout/timeout"
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
    local err="lotpick-wallpaper: cannot show 'FILE': $2"
    [[ -z $1 ]] || err+=": ${template%%[[ ]*}: failed"
    err+=$'\n.'
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
    rm -rf "$scratch/settings" && mkdir "$scratch/settings"
    local got_status=0
    (cd "$scratch/job" && PATH=$wrapper_path LOTPICK_SEED=$seed "$shell" "$wrapper" "$list" "$dest" \
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

make_stand_ins
system_tools
export CALLS="$scratch/calls" SETTINGS="$scratch/settings"
unset LOTPICK LOTPICK_APPLY LOTPICK_TIME_LIMIT XDG_CURRENT_DESKTOP STAND_IN_FAILS SAYS XDG_RUNTIME_DIR XDG_CONFIG_HOME \
    DBUS_SESSION_BUS_ADDRESS DISPLAY XAUTHORITY WAYLAND_DISPLAY SWAYSOCK HYPRLAND_INSTANCE_SIGNATURE

# A session seen only through its processes: a window manager whose
# environment holds the session's bus.
DBUS_SESSION_BUS_ADDRESS=unix:path=/wm/bus sleep 600 >/dev/null 2>&1 &
wm_pid=$!
trap 'kill $wm_pid' EXIT
uid=$(id -u)

# The user's runtime folder, where sway and Hyprland keep their sockets (a
# stale sway beside the one that runs), and a pcmanfm-qt profile of the
# user's own that draws its picture stretched.
export XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$scratch/run/hypr/v0.34_1700000000" "$scratch/config/pcmanfm-qt/mine" "$scratch/config/pcmanfm-qt/lxqt"
: >"$scratch/run/sway-ipc.$uid.1.sock"
: >"$scratch/run/sway-ipc.$uid.$wm_pid.sock"
printf '[Desktop]\nWallpaperMode=stretch\n' >"$scratch/config/pcmanfm-qt/mine/settings.conf"

gnome_calls="gsettings [set] [org.gnome.desktop.background] [picture-uri] [URI];\
gsettings [get] [org.gnome.desktop.background] [picture-uri];\
gsettings [writable] [org.gnome.desktop.background] [picture-uri-dark];\
gsettings [set] [org.gnome.desktop.background] [picture-uri-dark] [URI]"
xfce_image=/backdrop/screen0/monitorHDMI-1/workspace0/last-image
xfce_calls="xfconf-query [-c] [xfce4-desktop] [-l];\
xfconf-query [-c] [xfce4-desktop] [-p] [$xfce_image] [-s] [FILE];xfconf-query [-c] [xfce4-desktop] [-p] [$xfce_image];\
xfconf-query [-c] [xfce4-desktop] [-p] [${xfce_image/HDMI-1/eDP-1}] [-s] [FILE];\
xfconf-query [-c] [xfce4-desktop] [-p] [${xfce_image/HDMI-1/eDP-1}]"
xfce_properties="$xfce_image;${xfce_image/last-image/image-style};${xfce_image/HDMI-1/eDP-1}"
args_call="ps [-u] [$uid] [-o] [args=]"
session_bus=" bus=unix:path=/session/bus"
osascript_calls="osascript [-e] [on run argv] \
[-e] [tell application \"System Events\" to tell every desktop to set picture to (item 1 of argv)] [-e] [end run] [FILE]"
systemctl_call="systemctl [--user] [show-environment]"
ps_call="ps [-u] [$uid] [-o] [pid=] [-o] [comm=]"
unknown="no desktop known here in"
unknown_end="; set LOTPICK_APPLY to a command that shows a picture"

# A row a desktop: its name; XDG_CURRENT_DESKTOP; LOTPICK_APPLY; the
# stand-ins on the PATH (-timeout: no timeout command); what systemctl, ps,
# uname or xfconf-query -l say (";" between lines); the calls that tell it
# about a wallpaper; and the wrapper's words when they fail, or after a "!"
# when it finds no way to tell the desktop at all. A row runs in a session
# (a display and a session bus) unless its name begins with cron. The first four rows go through whole rounds; each other
# row through one pick of the last name, which leaves one file and starts a
# new round, and when it has words, a second such pick that is not shown.
rows=(
    "GNOME|ubuntu:GNOME||gsettings||$gnome_calls|the GNOME desktop refused it"
    "KDE Plasma|KDE||plasma-apply-wallpaperimage||plasma-apply-wallpaperimage [FILE]|the KDE desktop refused it"
    "Xfce|XFCE||xfconf-query|$xfce_properties|$xfce_calls|the XFCE desktop refused it"
    "LOTPICK_APPLY before the desktop|GNOME|show-it --fill|gsettings||show-it [--fill] [FILE]|LOTPICK_APPLY failed"
    "Pantheon|Pantheon||gsettings||$gnome_calls|"
    "Unity|Unity||gsettings||$gnome_calls|"
    "Cinnamon|X-Cinnamon||gsettings||gsettings [set] [org.cinnamon.desktop.background] [picture-uri] [URI];\
gsettings [get] [org.cinnamon.desktop.background] [picture-uri]|"
    "MATE|MATE||gsettings||gsettings [set] [org.mate.background] [picture-filename] [FILE];\
gsettings [get] [org.mate.background] [picture-filename]|the MATE desktop refused it"
    "Xfce before xfdesktop first ran|XFCE||xfconf-query|${xfce_image/last-image/color-style}|\
xfconf-query [-c] [xfce4-desktop] [-l]|!Xfce has no picture setting yet (no last-image property in xfce4-desktop): \
xfdesktop makes them when it first runs; start it, or set LOTPICK_APPLY"
    "LXQt, a new profile that draws no picture|LXQt||ps pcmanfm-qt|/usr/bin/pcmanfm-qt --desktop --profile=lxqt|\
$args_call;pcmanfm-qt [--set-wallpaper] [FILE] [--wallpaper-mode=stretch]|"
    "LXQt, the user's own mode|LXQt||ps pcmanfm-qt|pcmanfm-qt --desktop --profile mine|\
$args_call;pcmanfm-qt [--set-wallpaper] [FILE]|"
    "LXDE|LXDE||ps pcmanfm|pcmanfm --desktop --profile LXDE|$args_call;pcmanfm [--set-wallpaper] [FILE]|"
    "LXDE with no desktop drawn|LXDE||ps pcmanfm|pcmanfm --profile LXDE|$args_call|\
!no pcmanfm --desktop runs to draw it; start the desktop, or set LOTPICK_APPLY"
    "LXDE that does not answer|LXDE||ps pcmanfm~|pcmanfm --desktop|$args_call;pcmanfm [--set-wallpaper] [FILE]|\
!pcmanfm did not finish within 1 seconds"
    "LXDE that does not answer, with no timeout command|LXDE||ps pcmanfm~ -timeout|pcmanfm --desktop|\
$args_call;pcmanfm [--set-wallpaper] [FILE]|!pcmanfm did not finish within 1 seconds"
    "sway|sway||swaymsg||swaymsg [-p] [output] [*] [bg] [\"'FILE'\"] [fill]|the sway desktop refused it"
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
    "cron, GNOME named, the session bus from systemd|GNOME||systemctl gsettings|\
DBUS_SESSION_BUS_ADDRESS=unix:path=/session/bus;DISPLAY=:0|$systemctl_call;${gnome_calls//;/$session_bus;}$session_bus|"
    "cron, GNOME named, no session bus anywhere|GNOME||systemctl! gsettings||$systemctl_call;\
gsettings [set] [org.gnome.desktop.background] [picture-uri] [URI];gsettings [get] [org.gnome.desktop.background] [picture-uri]|\
!the GNOME desktop did not take it (picture-uri reads ''): failed to commit changes to dconf: no bus"
    "cron, sway among the session's processes|||systemctl! ps swaymsg|$wm_pid sway|$systemctl_call;$ps_call;\
swaymsg [-p] [output] [*] [bg] [\"'FILE'\"] [fill] bus=unix:path=/wm/bus sock=$scratch/run/sway-ipc.$uid.$wm_pid.sock|"
    "cron, Hyprland among them|||systemctl! ps hyprctl|$wm_pid Hyprland|$systemctl_call;$ps_call;\
hyprctl [hyprpaper] [unload] [FILE] bus=unix:path=/wm/bus hypr=v0.34_1700000000;\
hyprctl [hyprpaper] [preload] [FILE] bus=unix:path=/wm/bus hypr=v0.34_1700000000;\
hyprctl [hyprpaper] [wallpaper] [,FILE] bus=unix:path=/wm/bus hypr=v0.34_1700000000|"
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
    if [[ $row == cron* ]]; then
        unset DISPLAY DBUS_SESSION_BUS_ADDRESS
    else
        export DISPLAY=:0 DBUS_SESSION_BUS_ADDRESS=unix:path=/job/bus
    fi
    if [[ $stand_ins == *~* ]]; then export LOTPICK_TIME_LIMIT=1; else unset LOTPICK_TIME_LIMIT; fi
    wrapper_path="$scratch/desktop:$scratch/bin:$scratch/system"
    [[ $stand_ins != *-timeout* ]] || wrapper_path+=-without-timeout
    # shellcheck disable=SC2086 # a name a word
    put_on_path ${stand_ins/-timeout/}
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
    # The last name, recorded though not copied: a new round all the same.
    run "a copy that fails" 2 2 "$b" \
        "lotpick: cannot copy 'pics/b.png' to '$scratch/my pictures/wallpaper.png': No such file or directory"$'\n.' "" \
        "$previous_only" "(none)" $'pics/a.jpg\r\npics/b.png'
    STAND_IN_FAILS=1 run "a desktop that refuses" 1 3 "$a" \
        "lotpick-wallpaper: cannot show 'FILE': $refusal: ${template%%[[ ]*}: failed"$'\n.' wallpaper.jpg \
        "$both_left" pics/a.jpg $'pics/a.jpg\r\npics/b.png'
    mv "$scratch/b.png" "$scratch/job/pics/b.png"
done

# The file told about follows lotpick's naming, and the memory of written
# files the jobs that share a folder: a stand-in lotpick (through LOTPICK)
# records each picked name in DoneList, as lotpick does, and prints it, and
# the run's file is made as lotpick makes it. A row: DESTINATION (after a "+",
# in the folder of the row before, else in a new one); the name picked; the
# file told ("" for none, and status 3); the desktop told (LOTPICK_APPLY's
# show-it when none) and its call (FILE the file); the list and done list the
# folder holds first (printf escapes); the files then left in it.
row="naming"
cat >"$scratch/bin/fake-lotpick" <<'EOF'
#!/bin/sh
printf '%s\r\n' "$PICKED" >>DoneList
printf '1 files picked 0\n%s\n' "$PICKED"
EOF
chmod +x "$scratch/bin/fake-lotpick"
# sway expands the path as a shell word once its command parser has taken the quotes off.
sway_quoted=$'swaymsg [-p] [output] [*] [bg] ["\'FILE/it\'\\\'\'s (1) $HOME & \'\\"\'x\'\\"\'.jpg\'"] [fill]'
longest=$(printf 'n%.0s' {1..255}).jpg
naming=(
    "wall.bmp|pics/a.jpg|wall.jpg" "wall|a.jpg|wall.jpg" "wall.bmp|README|wall.bmp" "wall.bmp|archive.tar.gz|wall.gz"
    "my.dir/wall|a.jpg|my.dir/wall.jpg" ".bmp|a.jpg|.bmp.jpg" "dir/.bmp|a.jpg|dir/.bmp.jpg" "wall.bmp|.profile|wall.bmp"
    "wall.bmp|old.d/file|wall.bmp" 'wall.bmp|old.d\file|wall.bmp' "wall.|a.jpg|wall.jpg" "wall.bmp|a.|wall."
    "ELSEWHERE/wall.bmp|pics/a.jpg|ELSEWHERE/wall.jpg"
    "no such folder/wall.bmp|a.jpg||||||-"
    "+lock.bmp|b.png|lock.png" "+wall.bmp|b.png|wall.png"
    "+lock.bmp|a.jpg|lock.jpg|||||DoneList lock.jpg lotpick-wallpaper.last wall.png"
    "wall #1.bmp|a.jpg||KDE||||DoneList lotpick-wallpaper.last" "wall #1.bmp|a.jpg||Hyprland"
    "it's (1) \$HOME & \"x\".bmp|a.jpg|it's (1) \$HOME & \"x\".jpg|sway|${sway_quoted//FILE/$scratch/job}"
    "wall.bmp|b.png|wall.png|||a.jpg\r\nb.png\r\n\r\n|a.jpg\r\n|DoneList.previous list.txt lotpick-wallpaper.last wall.png"
    "wall.bmp|b.png|wall.png|||a.jpg\rb.png\r\r|a.jpg\r\n|DoneList.previous list.txt lotpick-wallpaper.last wall.png"
    "wall.bmp|b.png|wall.png|||\xef\xbb\xbfa.jpg\nb.png\n\n|a.jpg\r\n|DoneList.previous list.txt lotpick-wallpaper.last wall.png"
    "wall.bmp|b.png|wall.png|||$longest\nb.png\n\n||DoneList list.txt lotpick-wallpaper.last wall.png"
    "wall.bmp|b.png|wall.png|||n$longest\nb.png\n\n||DoneList.previous list.txt lotpick-wallpaper.last wall.png"
)
export DISPLAY=:0 DBUS_SESSION_BUS_ADDRESS=unix:path=/job/bus
wrapper_path="$scratch/desktop:$scratch/bin:$scratch/system"
for n in "${naming[@]}"; do
    IFS='|' read -r destination picked told desktop call list done_list files <<<"${n//ELSEWHERE/$scratch/elsewhere}"
    step="$destination and $picked${list:+ from ${list:0:24}}"
    if [[ $destination == +* ]]; then
        destination=${destination#+}
    else
        rm -rf "$scratch/job" "$scratch/elsewhere" && mkdir -p "$scratch/job/my.dir" "$scratch/job/dir" "$scratch/elsewhere"
        [[ -z $list ]] || printf '%b' "$list" >"$scratch/job/list.txt"
        [[ -z $done_list ]] || printf '%b' "$done_list" >"$scratch/job/DoneList"
    fi
    [[ $told == /* || -z $told ]] || told=$scratch/job/$told
    [[ -z $told ]] || : >"$told"
    apply=show-it
    [[ -z $desktop ]] || apply=""
    put_on_path plasma-apply-wallpaperimage swaymsg hyprctl
    : >"$scratch/calls"
    got_status=0
    (cd "$scratch/job" && PATH=$wrapper_path LOTPICK=fake-lotpick LOTPICK_APPLY=$apply XDG_CURRENT_DESKTOP=$desktop \
        PICKED=$picked "$shell" "$wrapper" list.txt "$destination" >/dev/null 2>&1) || got_status=$?
    [[ -n $call ]] || call="show-it [FILE]"
    [[ -n $told ]] || call=""
    check status "$((${#told} ? 0 : 3))" "$got_status"
    check "file told" "${call//FILE/$told}" "$(<"$scratch/calls")"
    [[ -z $files ]] || check files "${files/#-/}" "$(cd "$scratch/job" && find . -type f | cut -c 3- | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
done

# The crontab line as cron runs it: from a bare environment, with lotpick
# and the wrapper installed in ~/.local/bin, as from the tarball. Nothing may reach
# standard output or standard error, or cron mails it.
row="crontab"
step="the line of crontab.txt"
line=$(grep -v '^#' "${wrapper%/*}/crontab.txt")
check "a % in the line, which cron takes for a line end" "" "${line//[^%]/}"
home=$scratch/home
mkdir -p "$home/.local/bin" "$home/.local/share/lotpick/pics" "$home/Pictures"
cp "$lotpick" "$home/.local/bin/"
cp "$wrapper" "$home/.local/bin/lotpick-wallpaper"
ln -s "$scratch/bin/stand-in" "$home/.local/bin/gsettings"
ln -s "$scratch/bin/stand-in" "$home/.local/bin/systemctl"
printf 'the jpg' >"$home/.local/share/lotpick/pics/a.jpg"
printf 'pics/a.jpg\n\n' >"$home/.local/share/lotpick/wallpapers.txt"
: >"$scratch/calls"
rm -rf "$scratch/settings" && mkdir "$scratch/settings"
cron_status=0
env -i HOME="$home" CALLS="$scratch/calls" SETTINGS="$scratch/settings" LOTPICK_SEED=1 PATH=/usr/bin:/bin \
    SAYS=$'XDG_CURRENT_DESKTOP=ubuntu:GNOME\nDISPLAY=:0\nDBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus' "$shell" -c \
    "$(cut -d ' ' -f 6- <<<"$line")" >"$scratch/out" 2>"$scratch/err" || cron_status=$?
check status 0 "$cron_status"
check "standard output and error" "" "$(<"$scratch/out")$(<"$scratch/err")"
told=${gnome_calls//URI/file://$home/Pictures/wallpaper.jpg}
check "desktop told" "$systemctl_call"$'\n'"${told//;/ bus=unix:path=/run/user/1000/bus$'\n'} bus=unix:path=/run/user/1000/bus" \
    "$(<"$scratch/calls")"
check wallpaper "the jpg" "$(contents "$home/Pictures/wallpaper.jpg")"

finish
