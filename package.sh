#!/usr/bin/env bash
# Installs what is missing, builds the Release program with MinGW-w64 and
# writes to dist/: Kadrovix-<version>-setup.exe (per-user NSIS installer),
# Kadrovix-<version>-portable.zip and SHA256SUMS. The version is the one in
# CMakeLists.txt.
#
#   ./package.sh [--build-dir DIR] [--out DIR]
#
# --build-dir reuses an already configured MinGW tree (test.sh passes its own
# build/win64) instead of configuring build/release; --out writes elsewhere
# than dist/.
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")"
root=$(pwd)
. tools/deps.sh

build_dir=""
out_dir="$root/dist"
while [ $# -gt 0 ]; do
    case "$1" in
        --build-dir) build_dir=$2; shift 2 ;;
        --out) out_dir=$2; shift 2 ;;
        *) echo "usage: $0 [--build-dir DIR] [--out DIR]" >&2; exit 2 ;;
    esac
done

kadrovix_install_deps
jobs=${KADROVIX_JOBS:-$(nproc)}

if [ -z "$build_dir" ]; then
    build_dir="$root/build/release"
    cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DKADROVIX_TESTS=OFF >/dev/null
fi
cmake --build "$build_dir" -j "$jobs" --target kadrovix
version=$(cat "$build_dir/kadrovix-version.txt")
[ -n "$version" ] || { echo "no version in $build_dir/kadrovix-version.txt" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# Symbols are of no use to a user and make up much of the file.
x86_64-w64-mingw32-strip -o "$stage/kadrovix.exe" "$build_dir/kadrovix.exe"

mkdir -p "$out_dir"
out_dir=$(cd "$out_dir" && pwd)
setup="Kadrovix-$version-setup.exe"
portable="Kadrovix-$version-portable.zip"
rm -f "$out_dir/$setup" "$out_dir/$portable" "$out_dir/SHA256SUMS"

makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out_dir/$setup" installer/kadrovix.nsi

mkdir "$stage/Kadrovix-$version"
mv "$stage/kadrovix.exe" "$stage/Kadrovix-$version/"
sed "s/@VERSION@/$version/g" installer/portable-readme.txt | sed 's/$/\r/' >"$stage/Kadrovix-$version/README.txt"
# Fixed dates and no extra attributes: the same program gives the same zip.
touch -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}" \
    "$stage/Kadrovix-$version"/*
(cd "$stage" && zip -q -X "$out_dir/$portable" "Kadrovix-$version/kadrovix.exe" "Kadrovix-$version/README.txt")

(cd "$out_dir" && sha256sum "$setup" "$portable" >SHA256SUMS)
echo "Kadrovix $version:"
(cd "$out_dir" && for f in "$setup" "$portable" SHA256SUMS; do printf '  %s/%s (%s bytes)\n' "$out_dir" "$f" "$(stat -c %s "$f")"; done)
