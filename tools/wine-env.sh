# Helpers for preparing a private Wine prefix and an X display; sourced by
# test.sh, run.sh and wine-run.sh.

# Starts Xvfb on the first free display; sets DISPLAY and KADROVIX_XVFB_PID.
# KADROVIX_SCREEN (default 1024x768x24) keeps end-to-end runs cheap.
kadrovix_start_xvfb() {
    local n
    for n in $(seq 91 140); do
        if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
            Xvfb ":$n" -screen 0 "${KADROVIX_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
            KADROVIX_XVFB_PID=$!
            local i
            for i in $(seq 1 100); do
                [ -e "/tmp/.X11-unix/X${n}" ] && break
                sleep 0.05
            done
            if ! kill -0 "$KADROVIX_XVFB_PID" 2>/dev/null; then
                continue
            fi
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "could not start Xvfb" >&2
    return 1
}

# Creates and initialises a Wine prefix at $1, with "Segoe UI" mapped to an
# installed font (Wine ships no Segoe UI).
kadrovix_init_prefix() {
    export WINEPREFIX="$1"
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts: nothing here needs them.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || { echo "wineboot failed" >&2; return 1; }
    wineserver -w
    local font
    for font in "Segoe UI" "Segoe UI Semibold" "Segoe UI Bold" "Segoe UI Symbol"; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d "DejaVu Sans" /f >/dev/null 2>&1
    done
    wineserver -w
    export KADROVIX_WINE_READY=1
}
