# Installs the Debian packages the build and the tests need, when missing.
# Sourced by test.sh, run.sh and package.sh.

KADROVIX_PACKAGES=(
    cmake make g++ clang libclang-rt-14-dev
    googletest libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xauth x11-apps xdotool imagemagick
    nsis zip
    fonts-dejavu-core fonts-liberation
)

kadrovix_install_deps() {
    local missing=() p
    for p in "${KADROVIX_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
            echo "Missing packages and not root: ${missing[*]}" >&2
            return 1
        fi
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q </dev/null || return 1
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" </dev/null || return 1
}
