#!/usr/bin/env bash
# Installs what is missing, builds the Windows program and runs it under Wine:
# on the user's display when there is one, otherwise the self-contained demo
# on a private Xvfb display, printing where its output went.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")"
root=$(pwd)
. tools/deps.sh
. tools/wine-env.sh

kadrovix_install_deps || exit 1
jobs=${KADROVIX_JOBS:-$(nproc)}
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build build/win64 -j "$jobs" --target kadrovix || exit 1
exe="$root/build/win64/kadrovix.exe"

# A prefix of the program's own, kept between runs so its settings persist.
prefix=${KADROVIX_WINEPREFIX:-$HOME/.local/share/kadrovix/wine}
if [ ! -f "$prefix/system.reg" ]; then
    echo "Preparing the Wine prefix in $prefix (once)…"
    kadrovix_init_prefix "$prefix" || exit 1
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ -n "${DISPLAY:-}" ]; then
    exec wine "$exe" "$@"
fi

# No display: the demo on a private Xvfb.
mkdir -p target
kadrovix_start_xvfb || exit 1
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null; kill "$KADROVIX_XVFB_PID" 2>/dev/null' EXIT
(cd "$root" && wine "$exe" --render-demo)
status=$?
echo "Demo finished (exit $status). Output:"
ls -1 "$root"/target/*.png 2>/dev/null | sed 's/^/  /'
exit $status
