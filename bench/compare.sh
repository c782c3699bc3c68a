#!/usr/bin/env bash
# Times whole lotpick runs side by side with `shuf -n 1` and `cp` (hyperfine,
# medians), runs the micro-benchmarks, and writes docs/performance.md and
# docs/performance.png. Scratch data (a million small files, about 100 MiB on
# disk, plus a 512 MiB file) stays in build/bench-data, outside git.
#
#   bench/compare.sh            # the full comparison, a few minutes
#   LOTPICK_BENCH_RUNS=3 bench/compare.sh   # fewer runs per case, for a look
#
# Needs cmake, ninja, g++, Google Benchmark, hyperfine, gnuplot, python3, GNU
# coreutils (shuf, cp) and GNU time (/usr/bin/time).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
data=$root/build/bench-data
results=$data/results
runs=${LOTPICK_BENCH_RUNS:-20}
sizes=(10000 100000 1000000)
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
lotpick=$root/build/release/lotpick
micro=$root/build/release/bench/lotpick_bench
line_writes=$root/build/release/bench/line_writes

mkdir -p "$data" "$results"
cd "$data"

# Every name of every list is a real file: hard links, a thousand to a folder
# and each folder's links to one small file, so a million names cost inodes,
# not blocks.
if [[ ! -f ready ]]; then
    rm -rf files
    python3 - "${sizes[@]}" <<'EOF'
import os, sys
sizes = [int(arg) for arg in sys.argv[1:]]
names = []
for i in range(max(sizes)):
    folder = 'files/%03d' % (i // 1000)
    if i % 1000 == 0:
        os.makedirs(folder)
        source = folder + '/.content'
        with open(source, 'w') as f:
            f.write('a small file\n')
    names.append('%s/%07d.txt' % (folder, i))
    os.link(source, names[-1])
for n in sizes:
    with open('list-%d.txt' % n, 'w', newline='') as f:
        f.write(''.join(name + '\r\n' for name in names[:n]))
    with open('done-%d.txt' % n, 'w', newline='') as f:
        f.write('\r\n'.join(names[:n]))
EOF
    head -c 512M /dev/urandom > big.bin
    printf 'big.bin\r\n' > big-list.txt
    touch ready
fi

echo "load before: $(uptime)" > "$results/load.txt"
# Starting the command and printing the usage text (status 1, hence -i): what
# every run costs before it reads anything.
hyperfine -N -i --warmup 3 --runs "$((runs * 2))" --export-json "$results/start.json" -n start "$lotpick"
for n in "${sizes[@]}"; do
    hyperfine -N --warmup 3 --runs "$((runs * 2))" --prepare 'rm -f DoneList' \
        --export-json "$results/fresh-$n.json" \
        -n lotpick "$lotpick list-$n.txt out.bmp" -n shuf "shuf -n 1 list-$n.txt"
    hyperfine -N --warmup 1 --runs "$runs" --prepare "cp done-$n.txt DoneList" \
        --export-json "$results/done-$n.json" \
        -n lotpick "$lotpick list-$n.txt out.bmp" \
        -n writes "$line_writes $n"
done
hyperfine -N --warmup 1 --runs "$runs" --prepare 'sh -c "rm -f DoneList big-out.bin big-cp.bin; sync"' \
    --export-json "$results/copy.json" \
    -n lotpick "$lotpick big-list.txt big-out.bin" -n cp "cp big.bin big-cp.bin"
rm -f DoneList
"$lotpick" big-list.txt big-out.bin >/dev/null
cmp big.bin big-out.bin
echo "load after: $(uptime)" >> "$results/load.txt"

# Peak resident memory of the largest runs, against the lists' sizes.
rm -f DoneList
/usr/bin/time -f %M -o "$results/rss-fresh.txt" "$lotpick" list-1000000.txt out.bmp >/dev/null
cp done-1000000.txt DoneList
/usr/bin/time -f %M -o "$results/rss-done.txt" "$lotpick" list-1000000.txt out.bmp >/dev/null

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
} > "$results/machine.txt"

python3 "$root/bench/report.py" "$results" "$root/docs"
gnuplot -e "results='$results'; output='$root/docs/performance.png'" "$root/bench/plot.gp"
echo "wrote docs/performance.md and docs/performance.png"
