#!/usr/bin/env bash
# The installer end to end under Wine, in a prefix and display of its own; exits 0 when every check held.
#   install_flow.sh SETUP_EXE PROBE_EXE VERSION   (PROBE_EXE: install_probe_win32.cpp)
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh"
setup=$(realpath "$1") probe=$(realpath "$2") version=$3 failed=0
work=$(mktemp -d /tmp/kadrovix-install.XXXXXX)
trap 'WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null; kill "${KADROVIX_XVFB_PID:-}" 2>/dev/null; rm -rf "$work"' EXIT
check() { if "${@:2}"; then echo "  ok: $1"; else echo "  FAILED: $1"; failed=$((failed + 1)); fi; }
# Output goes to a file, never to a pipe that a resident started by the step would hold open.
w() { wine "$@" >"$work/out" 2>&1; }
out() { tr -d '\r' <"$work/out"; }
unix() { local p=${1//\\//}; echo "$WINEPREFIX/drive_c/${p:3}"; }
sum() { sha256sum <"$1"; }
start_resident() { wine "$exe_win" >/dev/null 2>&1 & w "$probe" residents 1; }

unset DISPLAY
kadrovix_start_xvfb && kadrovix_init_prefix "$work/prefix" || { echo "  FAILED: Wine prefix"; exit 1; }
local_win=$(w cmd /c echo %LOCALAPPDATA% && out)
dir_win="$local_win\\Programs\\Kadrovix" exe_win="$local_win\\Programs\\Kadrovix\\kadrovix.exe"
dir=$(unix "$dir_win") settings="$(unix "$local_win")/Kadrovix/settings.txt"
shortcut="$(unix "$local_win")/../Roaming/Microsoft/Windows/Start Menu/Programs/Kadrovix.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kadrovix'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
# Capture shortcut Ctrl+Alt+F9, so the resident starts without its panel.
mkdir -p "${settings%/*}" && printf 'kadrovix-settings-1\n3\n120\n1\n\n' >"$settings"
settings_sum=$(sum "$settings")

w winecfg -v win7 && w "$setup" /S
check "setup refuses Windows 7 (exit 3)" test $? -eq 3 -a ! -e "$dir"
w winecfg -v win10
check "silent install" w "$setup" /S
check "program, uninstaller and shortcut in place" test -f "$dir/kadrovix.exe" -a -f "$dir/uninstall.exe" -a -s "$shortcut"
x86_64-w64-mingw32-windres -J coff -O rc -i "$dir/kadrovix.exe" >"$work/rc" 2>&1
check "version resource $version.0" grep -qF "\"ProductVersion\", \"$version.0\"" "$work/rc"
w reg query "$key"
value() { out | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
for pair in DisplayName=Kadrovix DisplayVersion="$version" Publisher=Kadrovix DisplayIcon="$exe_win,0" \
    UninstallString="\"$dir_win\\uninstall.exe\"" QuietUninstallString="\"$dir_win\\uninstall.exe\" /S"; do
    check "$pair" test "$(value "${pair%%=*}")" = "${pair#*=}"
done
check "EstimatedSize $(($(value EstimatedSize))) KiB" test "$(($(value EstimatedSize)))" -gt 1000

check "the installed program runs as the resident" start_resident
w reg query "$run_key" /v Kadrovix
check "its Run value" grep -qF "\"$exe_win\"" "$work/out"
check "install /START over the running resident" w "$setup" /S /START
# Two would show as a second process, held by its "already running" box.
check "then exactly one resident" w "$probe" residents 1

# Marks the installation, so that a replaced program or entry would show.
printf marker >>"$dir/kadrovix.exe"
marked_sum=$(sum "$dir/kadrovix.exe")
w reg add "$key" /v DisplayVersion /d marked /f
w "$probe" second-start "$exe_win" "Z:${setup//\//\\}"
check "a second start shows \"already running\", exits 0; setup meanwhile gives up (2)" \
    test "$(out)" = "box shown, setup 2, second start 0"
w reg query "$key" /v DisplayVersion
check "setup left the program and its entry as they were" test "$(sum "$dir/kadrovix.exe")" = "$marked_sum" \
    -a ! -e "$dir/kadrovix.exe.new" -a "$(value DisplayVersion)" = marked

check "a resident again, for the uninstaller to close" start_resident
check "silent uninstall" w "$dir_win\\uninstall.exe" /S
# It goes on from a copy of itself; the Wine server ends once nothing runs any more.
check "no process left running" timeout 90 wineserver -w
check "program and shortcut removed" test ! -e "$dir" -a ! -e "$shortcut"
check "uninstall entry removed" test "$(w reg query "$key"; echo $?)" = 1
check "Run value removed" test "$(w reg query "$run_key" /v Kadrovix; echo $?)" = 1
check "settings.txt kept" test "$(sum "$settings")" = "$settings_sum"
echo "  installer flow: $SECONDS s, $failed failed"
[ "$failed" -eq 0 ]
