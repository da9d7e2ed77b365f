#!/usr/bin/env bash
# Builds the native and the Windows trees and runs every test: native unit
# tests (ASan/UBSan), the Windows tests under Wine on a private prefix and
# display, the installer end to end under Wine, and a bounded fuzz run.
# Ends with one line "N passed, N failed".
set -u
cd "$(dirname "${BASH_SOURCE[0]}")"
root=$(pwd)
. tools/deps.sh
. tools/wine-env.sh

jobs=${KADROVIX_JOBS:-$(nproc)}
fuzz_seconds=${KADROVIX_FUZZ_SECONDS:-30}
passed=0
failed=0
log_dir="$root/build/logs"

note_failure() { echo "FAILED: $1"; failed=$((failed + 1)); }

# Adds the counts of ctest's summary line in $1 to the totals.
count_ctest() {
    local line total bad
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
    if [ -z "$line" ]; then
        note_failure "ctest produced no summary ($1)"
        return
    fi
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

kadrovix_install_deps || { echo "0 passed, 1 failed"; exit 1; }
mkdir -p "$log_dir"

# Adds the test cases of GoogleTest XML reports in $1 to the totals; an
# executable that ended without a report counts as one failure (ctest saw it).
count_gtest_xml() {
    local file tests failures errors disabled
    for file in "$1"/*.xml; do
        [ -f "$file" ] || continue
        tests=$(grep -o -m1 'tests="[0-9]*"' "$file" | grep -o '[0-9]*')
        failures=$(grep -o -m1 'failures="[0-9]*"' "$file" | grep -o '[0-9]*')
        errors=$(grep -o -m1 'errors="[0-9]*"' "$file" | grep -o '[0-9]*')
        disabled=$(grep -o -m1 'disabled="[0-9]*"' "$file" | grep -o '[0-9]*')
        passed=$((passed + ${tests:-0} - ${failures:-0} - ${errors:-0} - ${disabled:-0}))
        failed=$((failed + ${failures:-0} + ${errors:-0}))
    done
}

# --- native tree -----------------------------------------------------------
echo "== native build"
if cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DKADROVIX_SANITIZE=ON -DKADROVIX_BENCH=ON >"$log_dir/native-configure.log" 2>&1 &&
   cmake --build build/native -j "$jobs" >"$log_dir/native-build.log" 2>&1; then
    echo "== native tests"
    ctest --test-dir build/native -j "$jobs" --output-on-failure 2>&1 | tee "$log_dir/native-tests.log" | grep -E -v '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed'
    count_ctest "$log_dir/native-tests.log"
else
    tail -n 40 "$log_dir"/native-*.log
    note_failure "native build"
fi

# --- Windows tree under Wine -------------------------------------------------
echo "== win64 build"
if cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DKADROVIX_BENCH=OFF >"$log_dir/win64-configure.log" 2>&1 &&
   cmake --build build/win64 -j "$jobs" >"$log_dir/win64-build.log" 2>&1; then
    echo "== win64 tests (Wine)"
    xvfb_pid=""
    prefix=$(mktemp -d /tmp/kadrovix-wine.XXXXXX)
    rm -rf build/win64/test-results && mkdir -p build/win64/test-results
    (
        # A private display and prefix for this run; removed below by their ids.
        # Always a private display: tests never draw on the user's desktop.
        unset DISPLAY
        kadrovix_start_xvfb || exit 1
        echo "$KADROVIX_XVFB_PID" >"$prefix.xvfb"
        kadrovix_init_prefix "$prefix" || exit 1
        ctest --test-dir build/win64 --output-on-failure --timeout 900 2>&1
        WINEPREFIX="$prefix" wineserver -k 2>/dev/null
        exit 0
    ) | tee "$log_dir/win64-tests.log"
    [ -f "$prefix.xvfb" ] && { kill "$(cat "$prefix.xvfb")" 2>/dev/null; rm -f "$prefix.xvfb"; }
    rm -rf "$prefix"
    count_gtest_xml build/win64/test-results
    # ctest's own verdict catches an executable that crashed before its report.
    win_line=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log_dir/win64-tests.log" | tail -n 1)
    win_reports=$(ls build/win64/test-results/*.xml 2>/dev/null | wc -l)
    win_total=$(echo "$win_line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    if [ -z "$win_line" ]; then
        note_failure "win64 tests produced no summary"
    elif [ "$win_reports" -lt "${win_total:-0}" ]; then
        failed=$((failed + win_total - win_reports))
        echo "FAILED: $((win_total - win_reports)) Windows test executable(s) ended without a report"
    fi

    # This tree's program packaged, and its installer run end to end in a
    # prefix and display of its own.
    echo "== package and installer flow (Wine)"
    version=$(cat build/win64/kadrovix-version.txt)
    if ! KADROVIX_JOBS="$jobs" ./package.sh --build-dir build/win64 --out build/win64/dist >"$log_dir/package.log" 2>&1; then
        tail -n 30 "$log_dir/package.log"
        note_failure "package"
    elif tests/installer/install_flow.sh "build/win64/dist/Kadrovix-$version-setup.exe" \
        build/win64/tests/kadrovix_install_probe.exe "$version" >"$log_dir/installer-flow.log" 2>&1; then
        cat "$log_dir/installer-flow.log"
        passed=$((passed + 1))
    else
        cat "$log_dir/installer-flow.log"
        note_failure "installer flow"
    fi
else
    tail -n 40 "$log_dir"/win64-*.log
    note_failure "win64 build"
fi

# --- fuzzing -------------------------------------------------------------------
echo "== fuzz build"
if CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKADROVIX_FUZZ=ON -DKADROVIX_TESTS=OFF >"$log_dir/fuzz-configure.log" 2>&1 &&
   cmake --build build/fuzz -j "$jobs" >"$log_dir/fuzz-build.log" 2>&1; then
    for fuzzer in build/fuzz/fuzz/*_fuzz; do
        [ -x "$fuzzer" ] || continue
        name=$(basename "$fuzzer")
        work=$(mktemp -d)
        seeds="fuzz/corpus/$name"
        [ -d "$seeds" ] || seeds=""
        echo "== fuzz $name (${fuzz_seconds}s)"
        if "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=1 "$work" $seeds >"$log_dir/$name.log" 2>&1; then
            grep -E 'stat::number_of_executed_units' "$log_dir/$name.log" | sed "s/^/   $name /"
            passed=$((passed + 1))
        else
            tail -n 30 "$log_dir/$name.log"
            note_failure "fuzz $name"
        fi
        rm -rf "$work"
    done
else
    tail -n 40 "$log_dir"/fuzz-*.log
    note_failure "fuzz build"
fi

# A recap of what failed, next to the summary, where a truncated log keeps it.
if [ "$failed" -ne 0 ]; then
    echo "== failures"
    for log in "$log_dir"/native-tests.log "$log_dir"/win64-tests.log; do
        [ -f "$log" ] || continue
        grep -E -A6 '(: Failure|error: .*)$' "$log" | head -n 60
        grep -E '^\[  FAILED  \] [A-Za-z_0-9]+\.' "$log" | sort -u
    done
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
