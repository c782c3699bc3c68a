#!/usr/bin/env bash
# Counts the instructions of whole lotpick runs under callgrind, whose
# virtual processor has AVX2 and no AVX-512, as most users' x86-64
# processors do. The counts are the same from run to run whatever the load
# on the machine, so two builds compare without timing noise. Each case is
# one pick with LOTPICK_SEED=5 from a list of the "end" or "suffix" names of
# bench/compare.sh, each name a hard link to one 64 KiB file, each line
# ended by CR LF: fresh (no done list), half done (every second name in
# DoneList) and, for "end", all done. Prints a Markdown table, millions of
# instructions, one column per build.
#
#   bench/callgrind.sh build/release/lotpick /path/to/other/lotpick
#   LOTPICK_CALLGRIND_SIZE=100000 bench/callgrind.sh build/release/lotpick
#
# LOTPICK_FORCE_SCAN, when set, reaches every run. Scratch data goes to
# build/bench-data/callgrind-SIZE; needs valgrind and python3.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
n=${LOTPICK_CALLGRIND_SIZE:-1000000}
data=$root/build/bench-data/callgrind-$n
builds=()
for build in "${@:-$root/build/release/lotpick}"; do builds+=("$(realpath "$build")"); done

mkdir -p "$data"
cd "$data"
for shape in end suffix; do
    [[ -f shape-$shape/ready-$n ]] && continue
    rm -rf "shape-$shape"
    python3 - "$shape" "$n" <<'EOF'
import os, sys
shape, n = sys.argv[1], int(sys.argv[2])
root = 'shape-' + shape
forms = {
    'end': lambda i: 'pics/wallpaper_%07d.jpg' % i,
    'suffix': lambda i: 'pics/%07d_nature_1920x1080_wallpaper.jpg' % i,
}
names = []
for i in range(n):
    folder = '%s/%03d' % (root, i // 10000)
    if i % 10000 == 0:
        os.makedirs(folder + '/pics')
        source = folder + '/.content'
        with open(source, 'wb') as f:
            f.write(os.urandom(64 * 1024))
    names.append('%s/%s' % (folder, forms[shape](i)))
    os.link(source, names[-1])
with open('%s/list.txt' % root, 'w', newline='') as f:
    f.write(''.join(name + '\r\n' for name in names))
with open('%s/half.txt' % root, 'w', newline='') as f:
    f.write('\r\n'.join(names[1::2]))
with open('%s/all.txt' % root, 'w', newline='') as f:
    f.write('\r\n'.join(names))
EOF
    touch "shape-$shape/ready-$n"
done

# Millions of instructions of one run of `build`, the done list given or none.
count() {
    local build=$1 list=$2 done=$3
    rm -f DoneList out.jpg
    [[ $done == none ]] || cp "$done" DoneList
    LOTPICK_SEED=5 valgrind --tool=callgrind --callgrind-out-file=/dev/null "$build" "$list" out.jpg \
        2>callgrind.log >/dev/null || true
    awk '/Collected :/ { printf "%.1f", $NF / 1e6 }' callgrind.log
}

printf '| case, %s names |' "$n"
for build in "${builds[@]}"; do printf ' %s |' "$build"; done
printf '\n|---|'
for _ in "${builds[@]}"; do printf -- '---:|'; done
printf '\n'
for case in "fresh end" "fresh suffix" "half end" "half suffix" "all end"; do
    read -r kind shape <<<"$case"
    done_file=none
    [[ $kind == fresh ]] || done_file=shape-$shape/$kind.txt
    printf '| %s |' "${case/all/all done}"
    for build in "${builds[@]}"; do printf ' %s M |' "$(count "$build" "shape-$shape/list.txt" "$done_file")"; done
    printf '\n'
done
rm -f DoneList out.jpg callgrind.log
