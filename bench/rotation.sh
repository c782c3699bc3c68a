#!/usr/bin/env bash
# Measures how many daily runs of the real release binary it takes until every
# name of a list has come round, with and without a trailing blank line, and
# writes docs/rotation.md and docs/rotation.png. Scratch folders (one per seed
# sequence, each with its own DoneList) stay in build/rotation-data, outside git.
#
#   bench/rotation.sh                                 # the full report, about eight minutes on 2 cores
#   LOTPICK_ROTATION_SEQUENCES=5 bench/rotation.sh    # fewer seed sequences, for a look
#
# Other knobs: LOTPICK_ROTATION_JOBS (sequences run side by side, default the
# core count) and LOTPICK_ROTATION_CAP (runs after which a sequence is given
# up, default 100000). Needs cmake, ninja, g++, Google Benchmark (the release
# build asked for the benchmarks too), python3 and gnuplot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
data=$root/build/rotation-data
results=$data/results
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

cmake --preset release -DLOTPICK_BENCHMARKS=ON >/dev/null
cmake --build --preset release >/dev/null
lotpick=$root/build/release/lotpick

# Leftover DoneLists from an earlier run would start sequences part way through.
rm -rf "$data"
mkdir -p "$results"

# What was measured: the report names the build, and says so when the source
# it came from was not yet committed.
{
    "$lotpick" --version
    git -C "$root" rev-parse --short HEAD
    if [[ -n $(git -C "$root" status --porcelain -- src CMakeLists.txt cmake) ]]; then
        echo "with uncommitted changes to the sources"
    else
        echo "clean"
    fi
    lscpu | sed -n 's/^Model name: *//p'
    nproc
    uname -srm
} > "$results/build.txt"

python3 "$root/bench/rotation.py" "$lotpick" "$data" "$root/docs"
gnuplot -e "results='$results'; output='$root/docs/rotation.png'" "$root/bench/rotation.gp"
echo "wrote docs/rotation.md and docs/rotation.png"
