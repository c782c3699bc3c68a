#!/bin/bash
# Runs examples/schedule/lotpick-wallpaper (under dash when it is there) with
# the real lotpick against the real desktop programs tools/install-deps
# installs, and reads back afterwards what each desktop itself now holds:
# the settings gsettings keeps in dconf (GNOME, Cinnamon, MATE), the
# properties xfconfd keeps (Xfce), the root window's pixmap and the screen
# under Xvfb (feh, xwallpaper, nitrogen), the colour a headless sway draws,
# and the screen the desktops of pcmanfm (LXDE) and pcmanfm-qt (LXQt) draw.
# Every server it starts it stops by its process id; every wait has a limit.
# The wrapper gets a PATH of its own: a few system tools and, row by row, the
# one desktop's programs, so that whatever else is installed plays no part.
#
# real_desktops_test.sh LOTPICK WRAPPER [KINDS]: KINDS, an extended regular
# expression, runs only the rows whose kind it matches (sway, gnome|mate).
set -euo pipefail

here=${BASH_SOURCE[0]%/*}
# shellcheck source-path=SCRIPTDIR source=checks.sh
source "$here/checks.sh"

# Generous for a loaded machine: a wait that ends here has failed.
limit=120

# As root, in /tmp, where the user sway runs as can reach it whatever TMPDIR.
if (($(id -u) == 0)); then work=$(mktemp -d -p /tmp); else work=$(mktemp -d); fi
chmod 755 "$work"
servers=()

# Stops a server this test started, by its process id: ten seconds after
# SIGTERM, SIGKILL.
stop_server() {
    local pid=$1
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
}

# Stops every server still running, the last started first.
stop_servers() {
    local i
    for ((i = ${#servers[@]} - 1; i >= 0; i--)); do stop_server "${servers[i]}"; done
    servers=()
}
trap 'stop_servers; rm -rf "$work"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# until_true WHAT COMMAND...: waits for COMMAND to succeed, at most $limit
# seconds; says what it waited for when it gave up.
until_true() {
    local what=$1 deadline=$((SECONDS + limit))
    shift
    until "$@"; do
        if ((SECONDS >= deadline)); then
            echo "gave up waiting for $what after $limit s" >&2
            return 1
        fi
        sleep 0.05
    done
}

need() {
    local program
    for program in "$@"; do
        command -v "$program" >/dev/null || { echo "real_desktops_test: $program is missing: run tools/install-deps" >&2; exit 1; }
    done
}
need Xvfb xprop dbus-daemon dbus-run-session dbus-send gsettings xfconf-query feh xwallpaper nitrogen \
    sway swaymsg swaybg grim pcmanfm pcmanfm-qt timeout setpriv

# sway refuses to run as root: as root, sway and the wrapper that tells it run
# as LOTPICK_TEST_USER (nobody), from copies in this folder, which that user
# can reach wherever the tree is.
as_user=()
if (($(id -u) == 0)); then
    user=${LOTPICK_TEST_USER:-nobody}
    as_user=(setpriv "--reuid=$(id -u "$user")" "--regid=$(id -g "$user")" --clear-groups)
fi
mkdir -p "$work/bin"
cp "$1" "$work/bin/lotpick"
cp "$2" "$work/bin/lotpick-wallpaper"
shell=$(command -v dash || echo /bin/sh)

# The tools the wrapper itself may use, the only ones besides a row's own.
mkdir -p "$work/base"
for tool in sh dash awk mawk gawk tr grep sed mktemp rm mv cp ls id ps uname cat head tail cut sort uniq \
    tee sleep timeout kill env printf test expr date basename dirname readlink realpath wc touch mkdir \
    chmod stat od xargs find true false pgrep setsid; do
    found=$(command -v "$tool") && [[ $found == /* ]] && ln -s "$found" "$work/base/$tool"
done

# A red picture, the one each run picks, and a blue one the desktop showed
# before; 16 by 16, as PNG, which every desktop here reads.
base64 -d >"$work/red.png" <<'EOF'
iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAIAAACQkWg2AAAAFklEQVR42mP4z8BAEmIY1TCqYfhqAACQ+f8B8u7oVwAAAABJRU5ErkJggg==
EOF
earlier=$work/earlier.png
base64 -d >"$earlier" <<'EOF'
iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAIAAACQkWg2AAAAFUlEQVR42mNgYPhPIhrVMKph2GoAAJLb/wHQPqPSAAAAAElFTkSuQmCC
EOF
chmod 644 "$work/red.png" "$earlier"

# The test's own session: its home, runtime folder, a session bus at
# the runtime folder's bus (where a job started by cron finds it) and a
# display. Xvfb names its display once it accepts clients, and keeps what
# the screen shows in a file (an X window dump) in $work/screen.
home=$work/home
runtime=$work/runtime
mkdir -p "$home" "$runtime"
chmod 700 "$runtime"
export HOME=$home XDG_RUNTIME_DIR=$runtime XDG_CONFIG_HOME=$home/.config
unset XDG_CURRENT_DESKTOP DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY SWAYSOCK XAUTHORITY \
    XDG_SESSION_TYPE DESKTOP_SESSION XDG_DATA_DIRS XDG_CACHE_HOME GSETTINGS_SCHEMA_DIR GSETTINGS_BACKEND \
    GIO_EXTRA_MODULES
bus=unix:path=$runtime/bus

start_servers() {
    mkfifo "$work/display"
    mkdir "$work/screen"
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 640x480x24 -fbdir "$work/screen" \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    servers+=($!)
    read -r -t "$limit" display <"$work/display" || { cat "$work/xvfb.log"; return 1; }
    display=:$display
    dbus-daemon --session --address="$bus" --nofork --nopidfile >"$work/dbus.log" 2>&1 &
    servers+=($!)
    until_true "the session bus" test -S "$runtime/bus"
}

# sway, headless, in a folder of the user's own: runtime folder, home, the
# job's folder and the pictures.
sway_folder=$work/sway
start_sway() {
    mkdir -p "$sway_folder/runtime" "$sway_folder/home"
    chmod 700 "$sway_folder/runtime"
    printf '%s\n' 'output * mode 64x48' 'output * bg #0000ff solid_color' >"$sway_folder/config"
    ((${#as_user[@]} == 0)) || chown -R "$user:" "$sway_folder"
    "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$sway_folder/home" XDG_RUNTIME_DIR="$sway_folder/runtime" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
        sway -c "$sway_folder/config" >"$work/sway.log" 2>&1 &
    servers+=($!)
    sway_socket=$sway_folder/runtime/sway-ipc.$(id -u "${user:-$(id -un)}").$!.sock
    until_true "sway's socket" test -S "$sway_socket" || { cat "$work/sway.log"; return 1; }
    local displays=("$sway_folder"/runtime/wayland-*[0-9])
    wayland=${displays[0]##*/}
}

# The name of the colour R G B: red, blue or "rgb R G B".
colour_name() {
    case $1 in
        '255 0 0') echo red ;;
        '0 0 255') echo blue ;;
        *) echo "rgb $1" ;;
    esac
}

# The colour at the middle of sway's output, as the compositor drew it.
sway_colour() {
    local rgb
    rgb=$(XDG_RUNTIME_DIR=$sway_folder/runtime WAYLAND_DISPLAY=$wayland grim -g '32,24 1x1' -t ppm - |
        tail -c 3 | od -An -tu1 | tr -s ' ')
    colour_name "${rgb# }"
}
sway_shows() { [[ $(sway_colour) == "$1" ]]; }

# The colour a quarter into Xvfb's screen, off the pointer it draws in the
# middle. The dump's header, 32-bit big-endian fields, gives its own size
# (field 0), the byte order of the pixels (7), the bytes of a row (12) and
# the colour map's entries (19, of 12 bytes each); a 24-bit screen has 4
# bytes a pixel.
x_colour() {
    local dump=$work/screen/Xvfb_screen0 fields pixel
    read -r -a fields <<<"$(od -An -tu4 --endian=big -N 80 -v "$dump" | tr -s ' \n' '  ')"
    pixel=$((fields[0] + fields[19] * 12 + 120 * fields[12] + 160 * 4))
    read -r -a pixel <<<"$(od -An -tu1 -j "$pixel" -N 3 -v "$dump")"
    if ((fields[7] == 0)); then colour_name "${pixel[2]} ${pixel[1]} ${pixel[0]}"; else colour_name "${pixel[*]}"; fi
}
x_shows() { [[ $(x_colour) == "$1" ]]; }

# pcmanfm's and pcmanfm-qt's desktops, started by the first row that needs
# them, as an LXDE and an LXQt session start them.
start_pcmanfm() {
    # A socket left by a pcmanfm that was stopped would pass for the desktop's.
    rm -f "$runtime/pcmanfm-socket--${display#:}"
    DISPLAY=$display pcmanfm --desktop --profile LXDE >"$work/pcmanfm.log" 2>&1 &
    pcmanfm_pid=$!
    servers+=($!)
    until_true "pcmanfm's socket" test -S "$runtime/pcmanfm-socket--${display#:}" || { cat "$work/pcmanfm.log"; return 1; }
}
owned() {
    DBUS_SESSION_BUS_ADDRESS=$bus dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        "string:$1" 2>/dev/null | grep -q 'boolean true'
}
start_pcmanfm_qt() {
    # Its desktop alone on the screen.
    [[ -z ${pcmanfm_pid:-} ]] || stop_server "$pcmanfm_pid"
    DISPLAY=$display DBUS_SESSION_BUS_ADDRESS=$bus QT_QPA_PLATFORM=xcb pcmanfm-qt --desktop --profile=lxqt >"$work/pcmanfm-qt.log" 2>&1 &
    servers+=($!)
    until_true "pcmanfm-qt's desktop" owned org.pcmanfm.PCManFM || { cat "$work/pcmanfm-qt.log"; return 1; }
}

# What a GVariant string that gsettings prints holds, and the path a file://
# URI names.
unquote() {
    local text=${1:1:${#1}-2}
    text=${text//\\\'/\'}
    text=${text//\\\"/\"}
    printf '%s' "${text//\\\\/\\}"
}
uri_path() {
    local uri
    uri=$(unquote "$1")
    [[ $uri == file://* ]] || { printf 'not a file URI: %s' "$uri"; return; }
    uri=${uri#file://}
    printf '%b' "${uri//%/\\x}"
}

# What the desktop of KIND shows now, in words the rows compare; with WAIT,
# for a desktop that draws or saves later than it answers, once it shows FILE
# (at most $limit seconds).
shown() {
    local kind=$1 file=$2 wait=${3:-}
    # gsettings prints a path in the locale's character set: here UTF-8.
    case $kind in
        gnome*)
            printf '%s | ' "$(uri_path "$(LC_ALL=C.UTF-8 gsettings get org.gnome.desktop.background picture-uri)")"
            uri_path "$(LC_ALL=C.UTF-8 gsettings get org.gnome.desktop.background picture-uri-dark)"
            ;;
        cinnamon) uri_path "$(LC_ALL=C.UTF-8 gsettings get org.cinnamon.desktop.background picture-uri)" ;;
        mate) unquote "$(LC_ALL=C.UTF-8 gsettings get org.mate.background picture-filename)" ;;
        xfce*)
            local property
            for property in $(DBUS_SESSION_BUS_ADDRESS=$bus xfconf-query -c xfce4-desktop -l 2>/dev/null | grep '/last-image$'); do
                DBUS_SESSION_BUS_ADDRESS=$bus xfconf-query -c xfce4-desktop -p "$property"
            done | sort -u
            ;;
        feh | xwallpaper | nitrogen)
            [[ -z $wait ]] || until_true "the screen to show $file" x_shows red || true
            case $(DISPLAY=$display xprop -root _XROOTPMAP_ID 2>/dev/null) in
                *'pixmap id #'*) printf 'a root pixmap, ' ;;
                *) printf 'no root pixmap, ' ;;
            esac
            x_colour
            ;;
        sway*)
            [[ -z $wait ]] || until_true "sway to draw $file" sway_shows red || true
            sway_colour
            ;;
        lxde* | lxqt)
            [[ -z $wait ]] || until_true "the screen to show $file" x_shows red || true
            local settings=$XDG_CONFIG_HOME/pcmanfm/LXDE/desktop-items-0.conf
            [[ $kind != lxqt ]] || settings=$XDG_CONFIG_HOME/pcmanfm-qt/lxqt/settings.conf
            printf '%s, ' "$(grep -i '^wallpaper=' "$settings" 2>/dev/null || echo "no wallpaper")"
            x_colour
            ;;
    esac
}

# What shown says once the desktop of KIND was told FILE.
told() {
    local kind=$1 file=$2
    case $kind in
        gnome*) printf '%s | %s\n' "$file" "$file" ;;
        feh | xwallpaper | nitrogen) echo "a root pixmap, red" ;;
        sway*) echo red ;;
        lxde*) echo "wallpaper=$file, red" ;;
        lxqt) echo "Wallpaper=$file, red" ;;
        *) echo "$file" ;;
    esac
}

# Sets the desktop of KIND to the earlier picture, and makes ready what it
# needs: a run that does not tell it must leave that picture. (LXQt's desktop
# starts on a new profile, whose mode draws no picture.)
prepare() {
    local kind=$1
    case $kind in
        gnome* | cinnamon | mate)
            # shellcheck disable=SC2016 # expanded by the inner shell
            dbus-run-session -- sh -c 'gsettings set org.gnome.desktop.background picture-uri "$1" &&
                gsettings set org.gnome.desktop.background picture-uri-dark "$1" &&
                gsettings set org.cinnamon.desktop.background picture-uri "$1" &&
                gsettings set org.mate.background picture-filename "$2"' sh "file://$earlier" "$earlier" 2>>"$work/prepare.log"
            ;;
        xfce*)
            DBUS_SESSION_BUS_ADDRESS=$bus xfconf-query -c xfce4-desktop -p /backdrop -r -R 2>/dev/null || true
            if [[ $kind == xfce-two-monitors ]]; then
                local monitor
                for monitor in HDMI-1 eDP-1; do
                    DBUS_SESSION_BUS_ADDRESS=$bus xfconf-query -c xfce4-desktop -n -t string \
                        -p "/backdrop/screen0/monitor$monitor/workspace0/last-image" -s "$earlier"
                done
            fi
            ;;
        feh | xwallpaper | nitrogen)
            local set=(feh --bg-fill)
            [[ $kind != xwallpaper ]] || set=(xwallpaper --zoom)
            [[ $kind != nitrogen ]] || set=(nitrogen --set-zoom-fill)
            DISPLAY=$display "${set[@]}" "$earlier" 2>>"$work/prepare.log"
            until_true "the screen to show $earlier" x_shows blue
            DISPLAY=$display xprop -root -remove _XROOTPMAP_ID -remove ESETROOT_PMAP_ID
            ;;
        sway*)
            [[ -n ${sway_socket:-} ]] || start_sway
            SWAYSOCK=$sway_socket swaymsg 'output * bg #0000ff solid_color' >/dev/null
            until_true "sway to draw blue" sway_shows blue
            ;;
        lxde)
            [[ -n ${pcmanfm_pid:-} ]] || start_pcmanfm
            DISPLAY=$display pcmanfm --set-wallpaper "$earlier" 2>>"$work/prepare.log"
            until_true "the screen to show $earlier" x_shows blue
            ;;
        lxqt) [[ -n ${pcmanfm_qt_started:-} ]] || { start_pcmanfm_qt && pcmanfm_qt_started=yes; } ;;
    esac
}

# The settings a row's run gets: the desktop it names, and what it needs to
# reach that desktop, in environment, runner and programs.
row_settings() {
    local kind=$1
    runner=() programs=() as=()
    environment=(HOME="$home" XDG_CONFIG_HOME="$XDG_CONFIG_HOME" XDG_RUNTIME_DIR="$runtime")
    case $kind in
        gnome*) environment+=(XDG_CURRENT_DESKTOP=GNOME) programs=(gsettings) ;;
        cinnamon) environment+=(XDG_CURRENT_DESKTOP=X-Cinnamon) programs=(gsettings) ;;
        mate) environment+=(XDG_CURRENT_DESKTOP=MATE) programs=(gsettings) ;;
        xfce*) environment+=(XDG_CURRENT_DESKTOP=XFCE DBUS_SESSION_BUS_ADDRESS="$bus" DISPLAY="$display") programs=(xfconf-query) ;;
        feh | xwallpaper | nitrogen) environment+=(XDG_CURRENT_DESKTOP=i3 DISPLAY="$display") programs=("$kind") ;;
        sway*)
            as=("${as_user[@]}") programs=(swaymsg)
            environment=(HOME="$sway_folder/home" XDG_RUNTIME_DIR="$sway_folder/runtime")
            ;;
        lxde*) environment+=(XDG_CURRENT_DESKTOP=LXDE DISPLAY="$display") programs=(pcmanfm) ;;
        lxqt) environment+=(XDG_CURRENT_DESKTOP=LXQt DBUS_SESSION_BUS_ADDRESS="$bus" DISPLAY="$display") programs=(pcmanfm-qt) ;;
    esac
    case $kind in
        # A session of its own, as GNOME, Cinnamon and MATE run in.
        gnome | cinnamon | mate) runner=("$(command -v dbus-run-session)" "--dbus-daemon=$(command -v dbus-daemon)" --) ;;
        # A job named its desktop, but has no bus and no display.
        gnome-no-bus) environment+=(XDG_RUNTIME_DIR="$work/empty") ;;
        # cron: the bus only where the session left it, in the runtime folder.
        gnome-cron) ;;
        sway) environment+=(XDG_CURRENT_DESKTOP=sway SWAYSOCK="$sway_socket" WAYLAND_DISPLAY="$wayland") ;;
    esac
}

# The error a run that did not tell its desktop gives: one line, naming FILE.
error_line() {
    local text
    text=$(<"$work/err")
    if [[ $text != *$'\n'* && $text == *"'$1'"* ]]; then echo "one line naming '$1'"; else printf '%s' "$text"; fi
}

# run_row KIND FOLDER STATUS: a pick of a red picture made the desktop's
# wallpaper in FOLDER; with status 0 the desktop shows it, else it shows the
# earlier picture and the run says why.
run_row() {
    local kind=$1 folder=$2 status=$3
    row=$kind step="in '$folder'"
    local place=$work
    [[ $kind != sway* ]] || place=$sway_folder
    prepare "$kind"
    row_settings "$kind"
    rm -rf "$place/job" "$place/pictures" "$work/path"
    mkdir -p "$place/job" "$place/pictures/$folder" "$work/path" "$work/empty"
    cp "$work/red.png" "$place/job/red.png"
    printf 'red.png\n' >"$place/job/list.txt"
    ((${#as[@]} == 0)) || chown -R "$user:" "$place/job" "$place/pictures"
    local program file=$place/pictures/$folder/wallpaper.png before
    for program in "${programs[@]}"; do ln -s "$(command -v "$program")" "$work/path/$program"; done
    before=$(shown "$kind" "$file")
    got_status=0
    (cd "$place/job" && timeout -k 10 "$limit" "${as[@]}" env -i PATH="$work/path:$work/base" LOTPICK="$work/bin/lotpick" \
        "${environment[@]}" "${runner[@]}" "$shell" "$work/bin/lotpick-wallpaper" list.txt "$place/pictures/$folder/wallpaper.jpg" \
        >"$work/out" 2>"$work/err") || got_status=$?
    check status "$status" "$got_status"
    if ((status == 0)); then
        check "what the desktop shows" "$(told "$kind" "$file")" "$(shown "$kind" "$file" wait)"
    else
        check "standard error" "one line naming '$file'" "$(error_line "$file")"
        check "what the desktop shows" "$before" "$(shown "$kind" "$file")"
    fi
    if ((failures == ${failures_before:-0})); then
        echo "ok: $row, $step"
    else
        printf 'FAILED: %s, %s; its standard error:\n%s\n' "$row" "$step" "$(<"$work/err")"
    fi
    failures_before=$failures
}

# kind|folder the wallpaper is written in|status. The folders hold what a
# desktop's own syntax may read in a path: blanks, URI escapes, quotes,
# variables, non-ASCII letters.
rows=(
    'gnome|pictures|0'
    'gnome|my pictures|0'
    'gnome|100% #1|0'
    "gnome|it's|0"
    "gnome|\$HOME|0"
    'gnome|Fotos ü 写真|0'
    'cinnamon|my pictures|0'
    'cinnamon|100% #1|0'
    "cinnamon|it's|0"
    "cinnamon|\$HOME|0"
    'cinnamon|Fotos ü 写真|0'
    'mate|my pictures|0'
    'mate|100% #1|0'
    "mate|it's|0"
    "mate|\$HOME|0"
    'mate|Fotos ü 写真|0'
    # A job that names its desktop looks up the session's bus all the same;
    # with none, gsettings writes to memory and says nothing.
    'gnome-cron|my pictures|0'
    'gnome-no-bus|my pictures|3'
    # Xfce with a picture on two monitors, and on a profile xfdesktop has
    # not written yet.
    'xfce-two-monitors|my pictures|0'
    "xfce-fresh|it's 100% #1|3"
    'feh|my pictures|0'
    'xwallpaper|my pictures|0'
    'nitrogen|my pictures|0'
    'sway|my pictures|0'
    "sway|it's (1); {2} & \"3\", 4|0"
    "sway|\$HOME|0"
    'sway|Fotos ü 写真|0'
    # cron: no SWAYSOCK, no WAYLAND_DISPLAY; sway is found among the user's
    # processes.
    'sway-cron|my pictures|0'
    # pcmanfm with no desktop of its own running must not hang the job.
    'lxde-no-desktop|my pictures|3'
    'lxde|my pictures|0'
    'lxqt|my pictures|0'
)

start_servers
for line in "${rows[@]}"; do
    IFS='|' read -r kind folder status <<<"$line"
    [[ $kind =~ ^(${3:-.*})$ ]] || continue
    run_row "$kind" "$folder" "$status"
done
row=""
finish
