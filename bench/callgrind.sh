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
    python3 "$root/bench/shape_lists.py" "$shape" "$n"
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
    [[ $kind == fresh ]] || done_file=shape-$shape/$kind-$n.txt
    printf '| %s |' "${case/all/all done}"
    for build in "${builds[@]}"; do printf ' %s M |' "$(count "$build" "shape-$shape/list-$n.txt" "$done_file")"; done
    printf '\n'
done
rm -f DoneList out.jpg callgrind.log
