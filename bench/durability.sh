#!/usr/bin/env bash
# What putting a pick on the disk costs: whole runs of two lotpick builds and
# of `cp`, in turns (each hyperfine call times all three, ROUNDS calls), each
# picking from a list of one picture of 100 KiB, 8 MiB or 512 MiB and copying it
# over the destination the run before left. Prints a Markdown table of
# medians over every run of every round.
#
#   bench/durability.sh build/release/lotpick /path/to/an/older/lotpick
#   LOTPICK_BENCH_ROUNDS=3 bench/durability.sh NEW OLD
#
# Scratch data (the pictures, random bytes) goes to build/bench-data/durability;
# needs hyperfine, python3 and GNU coreutils (head, truncate, cp).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
new=$(realpath "$1") old=$(realpath "$2")
rounds=${LOTPICK_BENCH_ROUNDS:-5}
data=$root/build/bench-data/durability
mkdir -p "$data"
cd "$data"

# size name, runs a round
cases=("100K 100 KiB 20" "8M 8 MiB 10" "512M 512 MiB 3")
for case in "${cases[@]}"; do
    read -r size _ _ _ <<<"$case"
    [[ -f pic-$size.jpg ]] || head -c "$size" /dev/urandom >"pic-$size.jpg"
    printf 'pic-%s.jpg\r\n' "$size" >"list-$size.txt"
done

cp="\`cp\`"
printf '| picture | %s | %s | %s | new / old | new / %s |\n|---|---:|---:|---:|---:|---:|\n' "$new" "$old" "$cp" "$cp"
for case in "${cases[@]}"; do
    read -r size count unit runs <<<"$case"
    rm -f round-*.json
    : >DoneList
    for ((round = 0; round < rounds; round++)); do
        # The done list is emptied before each run, so that every run appends
        # the same record to a list that is there, as a daily run does.
        hyperfine -N --style none --warmup 1 --runs "$runs" --prepare "truncate -s 0 DoneList" \
            --export-json "round-$round.json" \
            "$new list-$size.txt wall.jpg" "$old list-$size.txt wall.jpg" "cp pic-$size.jpg wall.jpg" >/dev/null 2>&1
    done
    python3 - "$count $unit" round-*.json <<'EOF'
import json, statistics, sys
times = [[], [], []]
for path in sys.argv[2:]:
    for i, result in enumerate(json.load(open(path))["results"]):
        times[i] += result["times"]
new, old, cp = (statistics.median(t) * 1000 for t in times)
print(f"| {sys.argv[1]} | {new:.2f} ms | {old:.2f} ms | {cp:.2f} ms | {new / old:.2f} | {new / cp:.2f} |")
EOF
done
rm -f round-*.json DoneList wall.jpg
