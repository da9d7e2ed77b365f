#!/usr/bin/env bash
# Times the capture editor under Wine on private Xvfb screens of the given
# sizes: the "--editor-diagnostic" self-test (grab, then grab plus session
# set-up) run `runs` times, one "--diagnostic" resident check (five editor
# runs, GDI objects and private bytes), and the overlay repaint during a drag
# (kadrovix_overlay_bench). Usage: tools/bench-editor.sh [runs] [WxH ...]
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/wine-env.sh"
runs=${1:-7}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
build=${KADROVIX_WIN64_BUILD:-$root/build/win64}
exe=$build/kadrovix.exe
bench=$build/kadrovix_overlay_bench.exe
# Benchmarks are built only in a tree configured for them.
cmake -S "$root" -B "$build" -DKADROVIX_BENCH=ON >/dev/null &&
    cmake --build "$build" -j2 --target kadrovix kadrovix_overlay_bench || exit 1

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }

for size in "${sizes[@]}"; do
    (
        unset DISPLAY
        KADROVIX_SCREEN="${size}x24" kadrovix_start_xvfb || exit 1
        prefix=$(mktemp -d /tmp/kadrovix-bench.XXXXXX)
        work=$(mktemp -d /tmp/kadrovix-bench-work.XXXXXX)
        # Whatever happens, the display, the prefix and the folders go.
        trap 'cd /; WINEPREFIX="$prefix" wineserver -k 2>/dev/null; kill "$KADROVIX_XVFB_PID" 2>/dev/null; rm -rf "$prefix" "$work"' EXIT
        kadrovix_init_prefix "$prefix" >/dev/null || exit 1
        cd "$work" || exit 1
        echo "== $size"
        : > editor-runs.txt
        for i in $(seq 1 "$runs"); do
            if wine "$exe" --editor-diagnostic; then
                cat target/editor-diagnostics.txt >> editor-runs.txt
                echo >> editor-runs.txt
            else
                echo "--editor-diagnostic run $i failed"
            fi
        done
        sed -n 's/^\([0-9]*\) \([0-9]*\) .*/capture \1 x \2/p' editor-runs.txt | sort -u
        echo "--editor-diagnostic, $(grep -c . editor-runs.txt) runs: capture $(awk 'NF == 4 { print $3 }' editor-runs.txt | median) ms," \
             "capture plus session $(awk 'NF == 4 { print $4 }' editor-runs.txt | median) ms (medians)"
        echo "all runs (width height capture_ms capture_and_session_ms):"
        grep . editor-runs.txt
        if wine "$exe" --diagnostic; then
            echo "--diagnostic: target/diagnostics.json"
            cat target/diagnostics.json
        else
            echo "--diagnostic failed with exit code $?"
        fi
        wine "$bench" "$runs" || echo "overlay bench failed with exit code $?"
    )
done
