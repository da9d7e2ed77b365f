#!/usr/bin/env bash
# Times the start of a capture under Wine on a private Xvfb screen, against the
# start of a trivial Win32 program in the same run, and shows where the time
# goes. Usage: tools/bench-start.sh [runs] [WxH]   (defaults: 7, 1920x1080)
#
# Both starts take the same road: a key combination typed at the X server
# (XTEST, as a keyboard would), a hot key in an already-running Wine process,
# CreateProcess, a new process that puts a full-screen window up. Each is
# timed from the key going down to the moment its colour shows in the middle
# of the X screen (polled about every millisecond):
#   probe     kadrovix_start_probe --host receives Ctrl+Shift+F10 and starts
#             kadrovix_start_probe --show, a topmost popup filled through GDI;
#   kadrovix  the resident (started normally, idle) receives its capture
#             shortcut Ctrl+Shift+F9 and starts the editor, which grabs the
#             screen and shows it frozen under its veil.
# The desktop is painted one colour, so the veiled picture is known: each
# channel times 0.52. The host window also holds the X keyboard focus, which
# Wine needs to see any key. (Not Ctrl+Alt+F-keys: the X server keeps those
# for switching consoles.) For reference, "wine kadrovix_start_probe --show"
# from the shell is timed too (it adds starting Wine's launcher).
#
# The programs mark their steps in a trace (KADROVIX_TRACE_START, see
# app/src/app/runtime/start_trace_win32.h); the medians of each mark's time
# since the key went down are printed, so the end-to-end figure splits into
# its steps.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/wine-env.sh"
runs=${1:-7}
size=${2:-1920x1080}
build=${KADROVIX_WIN64_BUILD:-$root/build/win64}
# Benchmarks are built only in a tree configured for them.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKADROVIX_BENCH=ON >/dev/null &&
    cmake --build "$build" -j2 --target kadrovix kadrovix_start_probe || exit 1
# The X watcher needs Xlib's headers (libx11-dev) and XTEST's library (libxtst6, with xdotool).
watch="$build/start_watch_x11"
cc -std=c11 -O2 -Wall -Wextra -o "$watch" "$root/bench/start_watch_x11.c" -lX11 -l:libXtst.so.6 || {
    echo "cannot build the X watcher: it needs libx11-dev and libxtst6" >&2
    exit 1
}
exe=$build/kadrovix.exe
probe=$build/kadrovix_start_probe.exe

desktop=5080c0                         # the desktop's colour
shown=20c060                           # the probe's colour
veiled=$(printf '%02x%02x%02x' $((0x50 * 52 / 100)) $((0x80 * 52 / 100)) $((0xc0 * 52 / 100)))
tolerance=6                            # per channel, for the veil's rounding
width=${size%x*}
height=${size#*x}
px=$((width / 2))
py=$((height / 2))
timeout_ms=20000

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "-" }'; }

(
    unset DISPLAY
    KADROVIX_SCREEN="${size}x24" kadrovix_start_xvfb || exit 1
    prefix=$(mktemp -d /tmp/kadrovix-bench-start.XXXXXX)
    work=$(mktemp -d /tmp/kadrovix-bench-start-work.XXXXXX)
    # Whatever happens, the display, the prefix and the folders go.
    trap 'cd /; WINEPREFIX="$prefix" wineserver -k 2>/dev/null; kill "$KADROVIX_XVFB_PID" 2>/dev/null; rm -rf "$prefix" "$work"' EXIT
    kadrovix_init_prefix "$prefix" >/dev/null || exit 1
    cd "$work" || exit 1
    trace="$work/trace.txt"
    : > "$trace"
    # The settings live in the run's folder: Ctrl+Shift+F9 as the capture
    # shortcut, no start with Windows, everything else as shipped.
    mkdir -p data/Kadrovix
    printf 'kadrovix-settings-9\n6\n120\n0\n\n0\n3000\nffd340\ned4f5c\n4\n1,70\n1,82\n1,67\n5\n28\n-\n0\ned4f5c\n0\n3\n' \
        > data/Kadrovix/settings.txt
    KADROVIX_DATA_FOLDER=$(winepath -w "$work/data" 2>/dev/null)
    KADROVIX_TRACE_START=$(winepath -w "$trace" 2>/dev/null)
    export KADROVIX_DATA_FOLDER KADROVIX_TRACE_START

    # The trace's lines of one mark, "<pid> <label> <qpc> <unix>".
    marks_of() { awk -v l="$1" '$2 == l' "$trace"; }
    wait_for_mark() {  # label, count, seconds
        local i
        for i in $(seq 1 $(($3 * 10))); do
            [ "$(marks_of "$1" | wc -l)" -ge "$2" ] && return 0
            sleep 0.1
        done
        echo "no \"$1\" mark after $3 s" >&2
        return 1
    }

    # Both stay until the end, when wineserver -k ends them.
    wine "$probe" --host 6 121 >/dev/null 2>&1 &   # MOD_CONTROL | MOD_SHIFT, VK_F10
    disown
    wait_for_mark loop 1 60 || exit 1
    host_window=$(xdotool search --sync --name 'Kadrovix start probe host' | head -n 1)
    wine "$exe" >/dev/null 2>&1 &
    disown
    wait_for_mark loop 2 60 || exit 1
    # Idle: whatever the resident does after its start is over.
    sleep 3
    # The desktop's colour goes on once Wine has set up its own; the pointer
    # (and the editor's hint beside it) goes to a corner.
    "$watch" root "$desktop" || exit 1
    xdotool mousemove $((width - 20)) $((height - 20))
    focus() { xdotool windowfocus --sync "$host_window" 2>/dev/null || xdotool windowfocus "$host_window"; sleep 0.3; }

    : > probe.txt
    : > kadrovix.txt
    : > cold.txt
    echo "== $size, $runs runs each, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
    for i in $(seq 1 "$runs"); do
        focus
        echo "0 run-probe-$i - $(date +%s%6N)" >> "$trace"
        if line=$("$watch" key ctrl+shift+F10 "$px" "$py" "$shown" 0 "$timeout_ms"); then
            echo "$i $line" >> probe.txt
        else
            echo "probe run $i: no colour ($line)"
        fi
        "$watch" wait "$px" "$py" "$desktop" 0 "$timeout_ms" >/dev/null || echo "probe run $i did not end"
        sleep 1

        focus
        echo "0 run-kadrovix-$i - $(date +%s%6N)" >> "$trace"
        if line=$("$watch" key ctrl+shift+F9 "$px" "$py" "$veiled" "$tolerance" "$timeout_ms"); then
            echo "$i $line" >> kadrovix.txt
        else
            echo "kadrovix run $i: no veiled picture ($line)"
        fi
        sleep 0.5
        # Esc closes the editor (given the X focus, as a click would); the
        # desktop comes back.
        editor_window=$(xdotool search --onlyvisible --name '^Kadrovix$' | head -n 1)
        [ -n "$editor_window" ] && xdotool windowfocus --sync "$editor_window"
        "$watch" key Escape "$px" "$py" "$desktop" 0 "$timeout_ms" >/dev/null || echo "kadrovix run $i: the editor did not close"
        sleep 1.5
    done
    for i in $(seq 1 "$runs"); do
        if line=$("$watch" run "$px" "$py" "$shown" 0 "$timeout_ms" wine "$probe" --show); then
            echo "$i $line" >> cold.txt
        else
            echo "cold probe run $i: no colour ($line)"
        fi
        "$watch" wait "$px" "$py" "$desktop" 0 "$timeout_ms" >/dev/null || echo "cold probe run $i did not end"
        sleep 1
    done
    # What the libraries kadrovix.exe imports beyond the probe's own cost a
    # new process: loaded one by one in the order of its import table.
    imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' |
        grep -v -x -e kernel32.dll -e user32.dll -e gdi32.dll -e msvcrt.dll)
    for i in $(seq 1 "$runs"); do
        echo "0 run-load-$i - $(date +%s%6N)" >> "$trace"
        # shellcheck disable=SC2086
        wine "$probe" --load $imports || echo "library run $i failed"
    done
    echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

    p=$(awk '{ print $4 }' probe.txt | median)
    k=$(awk '{ print $4 }' kadrovix.txt | median)
    c=$(awk '{ print $4 }' cold.txt | median)
    echo "key to first frame on the X screen (medians, ms):"
    echo "  probe (hot key in a running Wine process)  $p   ($(grep -c . probe.txt) runs)"
    echo "  kadrovix (capture shortcut, resident)       $k   ($(grep -c . kadrovix.txt) runs)"
    echo "  wine kadrovix_start_probe --show (shell)    $c   ($(grep -c . cold.txt) runs)"
    awk -v p="$p" -v k="$k" 'BEGIN { if (p > 0) printf "  ratio kadrovix / probe: %.1f\n", k / p }'
    echo "first change of the pixel (ms): probe $(awk '{ print $3 }' probe.txt | median), kadrovix $(awk '{ print $3 }' kadrovix.txt | median)"
    echo "all runs (run, key down in Unix µs, first change ms, frame ms, colour):"
    sed 's/^/  probe    /' probe.txt
    sed 's/^/  kadrovix /' kadrovix.txt
    sed 's/^/  shell    /' cold.txt

    # Each run's marks as milliseconds since its key went down: the first mark
    # of each label after the run began, in the resident (or host) and in the
    # one process it started.
    steps() {  # name, results file
        awk -v name="$1" '
            FNR == NR { start[$1] = $2; frame[$1] = $4; next }
            $2 ~ "^run-" name "-" { sub("^run-" name "-", "", $2); run = $2; parent = ""; child = ""; delete got; next }
            $2 ~ /^run-/ { run = ""; next }
            run == "" || !(run in start) { next }
            {
                if (parent == "" && $2 == "hotkey") parent = $1
                if (parent == "") next
                if (child == "" && $1 != parent && $2 == "created") child = $1
                if ($1 != parent && $1 != child) next
                if (got[$2]++) next
                printf "%s %s %.1f\n", run, $2, ($4 - start[run]) / 1000.0
            }
            END { for (r in frame) printf "%s x-frame %s\n", r, frame[r] }
        ' "$2" "$trace"
    }
    for name in probe kadrovix; do
        steps "$name" "$name.txt" > "$name-steps.txt"
        echo "$name: medians of each mark, ms since the key went down (and since the mark before):"
        # In order of their medians; marks of equal medians in the order they were made.
        awk '!($2 in seen) { seen[$2] = ++n; print n, $2 }' "$name-steps.txt" | while read -r index label; do
            echo "$(awk -v l="$label" '$2 == l { print $3 }' "$name-steps.txt" | median) $index $label"
        done | sort -k1,1g -k2,2n | awk '{ printf "  %-16s %8.1f  (+%.1f)\n", $3, $1, (NR > 1 ? $1 - previous : $1); previous = $1 }'

    done
    # Each library's load time (ms since the mark before it), per run.
    awk '
        $2 ~ /^run-load-/ { run = $2; pid = ""; next }
        $2 ~ /^run-/ { run = ""; next }
        run == "" { next }
        $2 == "entry" { pid = $1; last = $4; next }
        $1 == pid && $2 ~ /^load:/ { printf "%s %.1f\n", substr($2, 6), ($4 - last) / 1000.0; last = $4 }
    ' "$trace" > load-steps.txt
    echo "libraries kadrovix.exe imports beyond the probe's, loaded one by one (medians, ms):"
    for library in $imports; do
        m=$(awk -v l="$library" '$1 == l { print $2 }' load-steps.txt | median)
        printf '  %-14s %6s\n' "$library" "$m"
    done
    echo "  all of them    $(awk -v n="$(echo $imports | wc -w)" '{ s[int((NR - 1) / n)] += $2 } END { for (r in s) print s[r] }' load-steps.txt | median)"
    if [ -n "${KADROVIX_BENCH_KEEP:-}" ]; then
        mkdir -p "$KADROVIX_BENCH_KEEP" && cp ./*.txt "$KADROVIX_BENCH_KEEP"/
        echo "trace and results copied to $KADROVIX_BENCH_KEEP"
    fi
)
