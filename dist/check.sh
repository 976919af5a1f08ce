#!/usr/bin/env bash
# Checks the files dist/release.sh made before they are published: every archive holds the
# program, the manual page, LICENSE and README.md; the x86-64 Linux program is static and
# stripped, with AVX instructions only in its dispatched kernels; each Mach-O program holds
# its vector kernels; SHA256SUMS lists the six files and matches them.
# Needs file, objdump and nm (binutils), llvm-nm (LLVM 14), python3, and g++ for the C
# library's archive. Usage: dist/check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(zantorix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
fail() { echo "check: $*"; exit 1; }

(cd dist && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not match the files"
[ "$(grep -c . dist/SHA256SUMS)" -eq 6 ] || fail "SHA256SUMS lists $(grep -c . dist/SHA256SUMS) files, not 6"

unpacked=dist/build/unpacked
rm -rf "$unpacked" && mkdir -p "$unpacked"
for archive in dist/zantorix-"$version"-*.tar.gz; do tar xzf "$archive" -C "$unpacked"; done
python3 -m zipfile -e "dist/zantorix-$version-x86_64-windows.zip" "$unpacked"
for name in x86_64-linux aarch64-linux x86_64-windows aarch64-macos x86_64-macos; do
  program=zantorix
  [ "$name" = x86_64-windows ] && program=zantorix.exe
  for file in "$program" zantorix.1 LICENSE README.md; do
    [ -f "$unpacked/zantorix-$version-$name/$file" ] || fail "the $name archive lacks $file"
  done
done

x86=$unpacked/zantorix-$version-x86_64-linux/zantorix
kind=$(file "$x86")
grep -q 'statically linked' <<<"$kind" && grep -q 'stripped' <<<"$kind" || fail "x86-64: $kind"
.ci/vector-check dist/build/x86_64-linux/zantorix

for target in aarch64:arm64:addRowsNeon x86_64:x86_64:addRowsAvx2; do
  IFS=: read -r arch machO kernel <<<"$target"
  program=$unpacked/zantorix-$version-$arch-macos/zantorix
  grep -q "Mach-O 64-bit $machO executable" <<<"$(file "$program")" || fail "$arch macOS: $(file "$program")"
  symbols=$(/usr/lib/llvm-14/bin/llvm-nm -C "$program")
  grep -q "kernel::$kernel" <<<"$symbols" || fail "the $machO program lacks kernel::$kernel"
done
echo "check: 5 archives with their docs, the static x86-64 program, the Mach-O kernels, SHA256SUMS"
