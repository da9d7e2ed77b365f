#!/usr/bin/env bash
# Times the capture pipeline under Wine on private Xvfb screens of the given
# sizes, beside a peer baseline (xwd -root plus a PNG conversion of the same
# screen). Usage: tools/bench-capture.sh [runs] [WxH ...]
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/wine-env.sh"
runs=${1:-7}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
build=${KADROVIX_WIN64_BUILD:-$root/build/win64}
exe=$build/kadrovix_capture_bench.exe
# Benchmarks are built only in a tree configured for them.
cmake -S "$root" -B "$build" -DKADROVIX_BENCH=ON >/dev/null &&
    cmake --build "$build" -j2 --target kadrovix_capture_bench || exit 1
for size in "${sizes[@]}"; do
    (
        unset DISPLAY
        KADROVIX_SCREEN="${size}x24" kadrovix_start_xvfb || exit 1
        prefix=$(mktemp -d /tmp/kadrovix-bench.XXXXXX)
        kadrovix_init_prefix "$prefix" >/dev/null || exit 1
        echo "== $size"
        wine "$exe" "$runs"
        times=()
        for i in $(seq 1 "$runs"); do
            s=$(date +%s%N)
            xwd -root -silent -display "$DISPLAY" | convert xwd:- png:/tmp/kadrovix-bench-peer.png
            e=$(date +%s%N)
            times+=($(( (e - s) / 1000000 )))
        done
        sorted=($(printf '%s\n' "${times[@]}" | sort -n))
        echo "peer: xwd -root | convert png   ${sorted[$(( runs / 2 ))]} ms (median)"
        WINEPREFIX="$prefix" wineserver -k
        kill "$KADROVIX_XVFB_PID"
        rm -rf "$prefix" /tmp/kadrovix-bench-peer.png
    )
done
