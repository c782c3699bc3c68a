#!/usr/bin/env bash
# Times whole lotpick runs side by side with their floors (hyperfine, medians):
# `wc -l` over the same files, which reads them once and counts their line
# ends and does no more; `shuf -n 1`; `cp` for the copy; and for runs full of
# redraws, the writes of their output alone. Then runs the micro-benchmarks and
# writes docs/performance.md and docs/performance.png. Scratch data (lists of
# up to ten million names of 47 bytes, every name a hard link to a 64 KiB
# file, about 2 GB in all, plus a 512 MiB file) stays in build/bench-data,
# outside git; making it the first time takes a few minutes.
#
#   bench/compare.sh                          # the full comparison, about fifteen minutes
#   LOTPICK_BENCH_ROUNDS=3 bench/compare.sh   # fewer rounds per case, for a look
#   bench/compare.sh shapes                   # only the name shapes below
#   bench/compare.sh shapes end suffix        # only some of them
#
# Name shapes: how fast a pick is may depend on how the names of a list look,
# so lists of 10^4 to 10^6 names of each shape are timed too, fresh and half
# done, against `wc -l`: "end", names that differ at their end
# (pics/wallpaper_0000123.jpg); "suffix", names that share a 30-byte suffix
# (pics/0000123_nature_1920x1080_wallpaper.jpg); "tail", names of 47 to 51
# bytes whose last 16 bytes take only 32 values. LOTPICK_BENCH_BASELINE, the
# path of another lotpick build, adds it to every shape case.
#
# Needs cmake, ninja, g++, Google Benchmark, hyperfine, gnuplot, python3, GNU
# coreutils (wc, shuf, cp) and GNU time (/usr/bin/time); perf, when it works,
# adds a profile of the runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
data=$root/build/bench-data
results=$data/results
rounds=${LOTPICK_BENCH_ROUNDS:-10}
sizes=(10000 100000 1000000 10000000)
shape_sizes=(10000 100000 1000000)
only_shapes=false
shapes=(end suffix tail)
if [[ ${1:-} == shapes ]]; then
    only_shapes=true
    shift
    (($# > 0)) && shapes=("$@")
fi
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

cmake --preset release -DLOTPICK_BENCHMARKS=ON >/dev/null
cmake --build --preset release >/dev/null
lotpick=$root/build/release/lotpick
micro=$root/build/release/bench/lotpick_bench
line_writes=$root/build/release/bench/line_writes

mkdir -p "$data"
rm -rf "$results"
mkdir -p "$results"
cd "$data"

# Every name of every list is a real file: hard links, ten thousand to a
# folder and each folder's links to one 64 KiB file, so ten million names cost
# directory entries, not blocks. The names are 47 bytes long, so a list of a
# million of them, each ended by CR LF, is 49 MB. A done list holds every name
# of its list (done-N) or every second one (half-N).
if ! $only_shapes && [[ ! -f ready-47 ]]; then
    rm -rf files ready
    python3 - "${sizes[@]}" <<'EOF'
import os, sys
sizes = [int(arg) for arg in sys.argv[1:]]
names = []
for i in range(max(sizes)):
    folder = 'files/%03d' % (i // 10000)
    if i % 10000 == 0:
        os.makedirs(folder)
        source = folder + '/.content'
        with open(source, 'wb') as f:
            f.write(os.urandom(64 * 1024))
    names.append('%s/wallpaper-from-an-archive-%07d.jpg' % (folder, i))
    os.link(source, names[-1])
for n in sizes:
    with open('list-%d.txt' % n, 'w', newline='') as f:
        f.write(''.join(name + '\r\n' for name in names[:n]))
    with open('done-%d.txt' % n, 'w', newline='') as f:
        f.write('\r\n'.join(names[:n]))
    with open('half-%d.txt' % n, 'w', newline='') as f:
        f.write('\r\n'.join(names[1:n:2]))
EOF
    head -c 512M /dev/urandom > big.bin
    printf 'big.bin\r\n' > big-list.txt
    touch ready-47
fi

# Runs the commands of one case in turns: one hyperfine call per round, every
# command RUNS times in each, so that a noisy spell of the machine falls on
# all of them alike. bench/report.py merges the rounds and takes the medians.
# A warm-up run of each command starts every round, or only the first when
# WARMUP is "first" (for runs that take seconds).
# Usage: interleave CASE ROUNDS RUNS WARMUP PREPARE NAME COMMAND [NAME COMMAND]...
interleave() {
    local case=$1 case_rounds=$2 runs=$3 warmup=$4 prepare=$5
    shift 5
    local named=()
    while (($# > 0)); do
        named+=(-n "$1" "$2")
        shift 2
    done
    echo "compare: $case"
    for ((round = 0; round < case_rounds; ++round)); do
        local warmups=1
        [[ $warmup == first && $round -gt 0 ]] && warmups=0
        hyperfine -N --style none "${extra_options[@]}" --warmup "$warmups" --runs "$runs" --prepare "$prepare" \
            --export-json "$results/$case.$((first_round + round)).json" "${named[@]}" >/dev/null 2>>"$results/hyperfine.log"
    done
}
extra_options=()
first_round=0

# The lists of each name shape, in shape-SHAPE/, each name a hard link as
# above; the half-done list holds every second name.
for shape in "${shapes[@]}"; do
    [[ -f shape-$shape/ready ]] && continue
    rm -rf "shape-$shape"
    python3 "$root/bench/shape_lists.py" "$shape" "${shape_sizes[@]}"
    touch "shape-$shape/ready"
done

# Every shape, fresh and half done, interleaved with its floor (and the
# baseline build when one is named). The rounds go over all the cases in
# turn, so that a noisy spell of the machine, which can last seconds, falls
# on one round of many cases rather than on every round of one.
time_shapes() {
    local shape n list half baseline=()
    for ((first_round = 0; first_round < rounds; ++first_round)); do
        echo "compare: shapes, round $((first_round + 1)) of $rounds"
        for n in "${shape_sizes[@]}"; do
            for shape in "${shapes[@]}"; do
                list=shape-$shape/list-$n.txt half=shape-$shape/half-$n.txt
                [[ -n ${LOTPICK_BENCH_BASELINE:-} ]] && baseline=(baseline "$LOTPICK_BENCH_BASELINE $list out.bmp")
                interleave "shape-$shape-fresh-$n" 1 4 every 'rm -f DoneList' \
                    lotpick "$lotpick $list out.bmp" "${baseline[@]}" wc "wc -l $list" >/dev/null
                interleave "shape-$shape-half-$n" 1 4 every "cp $half DoneList" \
                    lotpick "$lotpick $list out.bmp" "${baseline[@]}" wc "wc -l $list DoneList" >/dev/null
            done
        done
    done
    first_round=0
    rm -f DoneList
    python3 "$root/bench/report.py" --shapes "$results" "${shapes[@]}" > "$results/shapes.md"
}
if $only_shapes; then
    time_shapes
    cat "$results/shapes.md"
    exit 0
fi

echo "load before: $(uptime)" > "$results/load.txt"
# Starting the command and printing the usage text (status 1, hence -i): what
# every run costs before it reads anything; wc on an empty input beside it.
extra_options=(-i)
interleave start "$rounds" 4 every true lotpick "$lotpick" wc "wc -l /dev/null"
extra_options=()
# Fewer runs a round where a run takes long: every round still has each
# command in it.
for n in "${sizes[@]}"; do
    runs=4 done_runs=1
    ((n > 1000000)) && runs=2
    ((n <= 100000)) && done_runs=3
    interleave "fresh-$n" "$rounds" "$runs" every 'rm -f DoneList' \
        lotpick "$lotpick list-$n.txt out.bmp" wc "wc -l list-$n.txt" shuf "shuf -n 1 list-$n.txt"
    interleave "half-$n" "$rounds" "$runs" every "cp half-$n.txt DoneList" \
        lotpick "$lotpick list-$n.txt out.bmp" wc "wc -l list-$n.txt DoneList"
    interleave "done-$n" "$rounds" "$done_runs" first "cp done-$n.txt DoneList" \
        lotpick "$lotpick list-$n.txt out.bmp" writes "$line_writes $n" wc "wc -l list-$n.txt DoneList"
done
interleave copy "$rounds" 2 every 'sh -c "rm -f DoneList big-out.bin big-cp.bin; sync"' \
    lotpick "$lotpick big-list.txt big-out.bin" cp "cp big.bin big-cp.bin"
rm -f DoneList
"$lotpick" big-list.txt big-out.bin >/dev/null
cmp big.bin big-out.bin
time_shapes
echo "load after: $(uptime)" >> "$results/load.txt"

# Peak resident memory of the largest runs, against the lists' sizes.
for n in 1000000 "${sizes[-1]}"; do
    rm -f DoneList
    /usr/bin/time -f %M -o "$results/rss-fresh-$n.txt" "$lotpick" "list-$n.txt" out.bmp >/dev/null
    for kind in half done; do
        cp "$kind-$n.txt" DoneList
        /usr/bin/time -f %M -o "$results/rss-$kind-$n.txt" "$lotpick" "list-$n.txt" out.bmp >/dev/null
    done
done
rm -f DoneList

# Peak memory bounded by the work, whatever the list's shape: 10^7 blank lines
# without a done list (the empty name is always done, so every attempt is
# made), and 10^7 one-byte names, every one of them done.
if [[ ! -f blank-10000000.txt ]]; then
    python3 -c "open('blank-10000000.txt', 'w', newline='').write('\r\n' * 10**7)"
    python3 -c "open('bytes-10000000.txt', 'w', newline='').write(''.join(chr(97 + i % 26) + '\r\n' for i in range(10**7)))"
    for letter in {a..z}; do printf x > "$letter"; done
fi
rm -f DoneList
/usr/bin/time -f %M -o "$results/rss-blank.txt" "$lotpick" blank-10000000.txt out.bmp >/dev/null 2>&1 || true
cp bytes-10000000.txt DoneList
/usr/bin/time -f %M -o "$results/rss-bytes.txt" "$lotpick" bytes-10000000.txt out.bmp >/dev/null 2>&1 || true
rm -f DoneList

# Where the time of a run over 10^6 lines goes: cpu-clock samples, which need
# no hardware counters, over twenty runs of each kind, every thread of each.
if perf record -q -e cpu-clock -o "$results/perf-check.data" true 2>/dev/null; then
    for kind in fresh half; do
        prepare='rm -f DoneList'
        [[ $kind == half ]] && prepare='cp half-1000000.txt DoneList'
        perf record -q -e cpu-clock -F 20000 -o "$results/perf-$kind.data" -- \
            sh -c "for i in \$(seq 20); do $prepare; '$lotpick' list-1000000.txt out.bmp >/dev/null; done" 2>/dev/null
        perf report -i "$results/perf-$kind.data" --comm lotpick --percentage relative --no-children --sort sym \
            --stdio > "$results/profile-$kind.txt" 2>/dev/null
    done
    # And a half-done run of each name shape, for where the slowest one spends its time.
    for shape in "${shapes[@]}"; do
        perf record -q -e cpu-clock -F 20000 -o "$results/perf-shape-$shape.data" -- \
            sh -c "for i in \$(seq 20); do cp shape-$shape/half-1000000.txt DoneList; '$lotpick' shape-$shape/list-1000000.txt out.bmp >/dev/null; done" 2>/dev/null
        perf report -i "$results/perf-shape-$shape.data" --comm lotpick --percentage relative --no-children \
            --sort sym --stdio > "$results/profile-shape-$shape.txt" 2>/dev/null
    done
    rm -f DoneList
fi

"$micro" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=json --benchmark_out_format=json --benchmark_out="$results/micro.json" >/dev/null

{
    lscpu | sed -n 's/^Model name: *//p'
    nproc
    awk '/MemTotal/ {printf "%.0f GiB\n", $2 / 1048576}' /proc/meminfo
    uname -srm
    g++ --version | head -n 1
    hyperfine --version
    df -T . | awk 'NR == 2 {print $2}'
    wc --version | head -n 1
} > "$results/machine.txt"

python3 "$root/bench/report.py" "$results" "$root/docs"
gnuplot -e "results='$results'; output='$root/docs/performance.png'" "$root/bench/plot.gp"
echo "wrote docs/performance.md and docs/performance.png"
