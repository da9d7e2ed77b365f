#!/usr/bin/env bash
# Runs one Windows executable under Wine; ctest calls this as its emulator.
#
# The test run (test.sh) prepares one private prefix and display and exports
# WINEPREFIX and DISPLAY; each test reuses them. Run on its own, the script
# makes a throwaway prefix (and an Xvfb display when none is set) and removes
# everything it started, by the ids it started them with.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

started_prefix=""
started_xvfb=""
cleanup() {
    if [ -n "$started_prefix" ]; then
        WINEPREFIX="$started_prefix" wineserver -k 2>/dev/null
        rm -rf "$started_prefix"
    fi
    if [ -n "$started_xvfb" ]; then
        kill "$started_xvfb" 2>/dev/null
    fi
}
trap cleanup EXIT

if [ -z "${KADROVIX_WINE_READY:-}" ]; then
    # shellcheck source=wine-env.sh
    . "$here/wine-env.sh"
    if [ -z "${DISPLAY:-}" ]; then
        kadrovix_start_xvfb || exit 1
        started_xvfb=$KADROVIX_XVFB_PID
    fi
    started_prefix=$(mktemp -d /tmp/kadrovix-wine.XXXXXX)
    kadrovix_init_prefix "$started_prefix" || exit 1
fi

export WINEDEBUG=${WINEDEBUG:--all}
wine "$@"
status=$?
exit $status
