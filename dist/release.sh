#!/usr/bin/env bash
# Builds the downloadable release into dist/: a program for each system, stripped, in an
# archive with the manual page, LICENSE and README.md; the Debian package; and SHA256SUMS.
#   zantorix-VERSION-x86_64-linux.tar.gz   gcc, linked statically (CPU dispatch kept)
#   zantorix-VERSION-aarch64-linux.tar.gz  Zig, static (musl)
#   zantorix-VERSION-x86_64-windows.zip    Zig (needs only the system's own libraries)
#   zantorix-VERSION-aarch64-macos.tar.gz  Zig
#   zantorix-VERSION-x86_64-macos.tar.gz   Zig
#   zantorix_VERSION_amd64.deb             gcc, the C library linked dynamically
# The same sources give the same bytes: every date is SOURCE_DATE_EPOCH (the last commit's
# unless set), archive members are sorted with fixed owners and modes, and source paths are
# mapped out of the programs. Zig 0.11.0 comes from dist/zig.sh (pinned by its checksum).
# Needs cmake, g++ with glibc's static libraries, python3, npm (once, for Zig), dpkg-dev.
# Outside a git clone (a source export), SOURCE_DATE_EPOCH must be set. Any step that fails
# stops the script with a message and a status other than 0.
# Usage: dist/release.sh [--with-tests]   (--with-tests: the x86-64 tree builds its tests too)
set -euo pipefail
shopt -s inherit_errexit  # a failure inside $(...) fails it too
trap 'echo "release: failed (status $?) at line $LINENO: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
tests=OFF
[ "${1:-}" = --with-tests ] && tests=ON
version=$(sed -n 's/^project(zantorix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=""
  top=$(git -c safe.directory="$PWD" rev-parse --show-toplevel 2>/dev/null || true)
  if [ -n "$top" ] && [ "$top" = "$(pwd -P)" ]; then SOURCE_DATE_EPOCH=$(git -c safe.directory="$PWD" log -1 --format=%ct 2>/dev/null || true); fi
  if [ -z "$SOURCE_DATE_EPOCH" ]; then
    trap - ERR
    echo "release: no git history here to date the files by: set SOURCE_DATE_EPOCH (seconds since 1970," \
      "such as the release commit's date) and run again" >&2
    exit 1
  fi
fi
export SOURCE_DATE_EPOCH
ZIG=$(dist/zig.sh)
export ZIG
work=dist/build
rm -rf "$work" dist/zantorix[-_]* dist/SHA256SUMS
mkdir -p "$work"
common=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$PWD/=")

# build NAME TESTS CMAKE_ARGS...: configures and builds dist/build/NAME, its output kept in
# dist/build/NAME.log (the end of it shown when the build fails).
build() {
  local name=$1 with=$2
  shift 2
  echo "-- $name"
  cmake -S . -B "$work/$name" "${common[@]}" -DZANTORIX_TESTS="$with" -Wno-dev "$@" >"$work/$name.log" 2>&1 &&
    cmake --build "$work/$name" -j2 >>"$work/$name.log" 2>&1 || { tail -40 "$work/$name.log"; exit 1; }
}

# stage NAME PROGRAM: the archive's folder, zantorix-VERSION-NAME, with PROGRAM and the docs.
stage() {
  local folder="$work/stage/zantorix-$version-$1"
  mkdir -p "$folder"
  cp "$2" "$folder/"
  cp doc/zantorix.1 LICENSE README.md "$folder/"
  chmod 755 "$folder/$(basename "$2")"
  chmod 644 "$folder/zantorix.1" "$folder/LICENSE" "$folder/README.md"
  echo "$folder"
}

build x86_64-linux "$tests" -DCMAKE_EXE_LINKER_FLAGS=-static
strip -o "$work/zantorix" "$work/x86_64-linux/zantorix"
folder=$(stage x86_64-linux "$work/zantorix")
python3 dist/archive.py "dist/zantorix-$version-x86_64-linux.tar.gz" "$folder"

for target in aarch64-linux:aarch64-linux-musl x86_64-windows:x86_64-windows aarch64-macos:aarch64-macos \
  x86_64-macos:x86_64-macos; do
  name=${target%%:*} toolchain=cmake/toolchains/${target##*:}-zig.cmake
  build "$name" OFF -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_EXE_LINKER_FLAGS=-s
  program=$work/$name/zantorix
  kind=tar.gz
  if [ "$name" = x86_64-windows ]; then program=$program.exe kind=zip; fi
  folder=$(stage "$name" "$program")
  python3 dist/archive.py "dist/zantorix-$version-$name.$kind" "$folder"
done

# Debian's package links the C library dynamically, as Debian's rules want of a program.
build deb OFF
cmake --build "$work/deb" --target deb >>"$work/deb.log" 2>&1 || { tail -40 "$work/deb.log"; exit 1; }
cp "$work/deb/zantorix_${version}_amd64.deb" dist/

(cd dist && sha256sum zantorix-"$version"-* "zantorix_${version}_amd64.deb" >SHA256SUMS)
echo "-- dist/"
(cd dist && cat SHA256SUMS)
