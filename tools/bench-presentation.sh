#!/usr/bin/env bash
# Times presentation mode's controller under Wine (kadrovix_presentation_bench),
# each case in a process of its own, on private Xvfb screens and prefixes:
# pointer moves, the idle process and the canvas's animation tick `runs` times
# on the first screen; the working set around `shapes` drawn and faded shapes
# `memory_runs` times on the second, smaller screen, because every canvas frame
# is a desktop-sized software paint under Wine (one memory run takes about
# 3-4 minutes on a 2-core VM). Prints every run's numbers and the median of each.
# Usage: tools/bench-presentation.sh [runs] [memory_runs] [shapes]
# Environment: KADROVIX_WIN64_BUILD (default build/win64),
# KADROVIX_PRESENTATION_SCREEN (default 1024x768),
# KADROVIX_PRESENTATION_MEMORY_SCREEN (default 640x480).
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/wine-env.sh"
runs=${1:-5}
memory_runs=${2:-1}
shapes=${3:-1000}
screen=${KADROVIX_PRESENTATION_SCREEN:-1024x768}
memory_screen=${KADROVIX_PRESENTATION_MEMORY_SCREEN:-640x480}
build=${KADROVIX_WIN64_BUILD:-$root/build/win64}
bench=$build/kadrovix_presentation_bench.exe
# Benchmarks are built only in a tree configured for them.
cmake -S "$root" -B "$build" -DKADROVIX_BENCH=ON >/dev/null &&
    cmake --build "$build" -j2 --target kadrovix_presentation_bench || exit 1

# An even count gives the mean of the middle two.
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else if (NR) print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# "result <name> <value>" lines in $1, in first-seen order: all values, then the median.
summarise() {
    local name
    for name in $(awk '$1 == "result" && !seen[$2]++ { print $2 }' "$1"); do
        printf '%-45s median %10s   runs: %s\n' "$name" \
            "$(awk -v n="$name" '$1 == "result" && $2 == n { print $3 }' "$1" | median)" \
            "$(awk -v n="$name" '$1 == "result" && $2 == n { printf "%s ", $3 }' "$1")"
    done
}

# run_on SIZE CASE... : each case is "mode count repeats"; output to stdout.
run_on() {
    local size=$1
    shift
    (
        unset DISPLAY
        KADROVIX_SCREEN="${size}x24" kadrovix_start_xvfb || exit 1
        prefix=$(mktemp -d /tmp/kadrovix-bench.XXXXXX)
        work=$(mktemp -d /tmp/kadrovix-bench-work.XXXXXX)
        # Whatever happens, the display, the prefix and the folders go.
        trap 'cd /; WINEPREFIX="$prefix" wineserver -k 2>/dev/null; kill "$KADROVIX_XVFB_PID" 2>/dev/null; rm -rf "$prefix" "$work"' EXIT
        kadrovix_init_prefix "$prefix" >/dev/null || exit 1
        cd "$work" || exit 1
        echo "== screen $size (Xvfb $DISPLAY), load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
        : > results.txt
        local job mode count repeats i
        for job in "$@"; do
            read -r mode count repeats <<< "$job"
            for i in $(seq 1 "$repeats"); do
                echo "-- $mode $count, run $i (load $(cut -d' ' -f1 /proc/loadavg))"
                if wine "$bench" "$mode" "$count" > run.txt 2>&1; then
                    grep -v '^result ' run.txt
                    grep '^result ' run.txt >> results.txt
                else
                    echo "$mode run $i failed with exit code $?:"
                    cat run.txt
                fi
            done
        done
        echo "-- medians on $size (load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
        summarise results.txt
    )
}

start=$(date +%s)
echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(wine --version 2>/dev/null)"
run_on "$screen" "moves 2000 $runs" "ticks 15 $runs" "idle 10 $runs"
run_on "$memory_screen" "memory $shapes $memory_runs"
echo "total $(( $(date +%s) - start )) s"
