#!/bin/sh
# Seed corpora of the zip layer's fuzz targets, made fresh at every run:
# Deflate streams at several levels and strategies, and small archives
# (stored, deflated, encrypted with the empty password, with comments).
# Usage: zip/fuzz/seeds.sh SEEDROOT   (writes SEEDROOT/<target>/...)
set -eu
mkdir -p "$1"
root="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
py=python3
[ -x /usr/bin/python3 ] && py=/usr/bin/python3
mkdir -p "$root/zip_inflate_fuzz" "$root/zip_reader_fuzz"
"$py" - "$root/zip_inflate_fuzz" <<'PY'
import os, sys, zlib
out = sys.argv[1]
samples = [b"", b"a", b"hello hello hello hello", bytes(range(256)) * 20,
           b"station firmware package " * 200, os.urandom(3000)]
n = 0
for s in samples:
    for level in (0, 1, 6, 9):
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FIXED, zlib.Z_HUFFMAN_ONLY, zlib.Z_RLE):
            z = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
            open(os.path.join(out, "s%03d" % n), "wb").write(z.compress(s) + z.flush())
            n += 1
PY
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/src/quillon/presetapp/sub"
printf 'brand text\r\n' > "$tmp/src/quillon/presetapp/a.txt"
head -c 2000 /dev/urandom > "$tmp/src/quillon/presetapp/sub/b.bin"
: > "$tmp/src/quillon/empty"
for opt in -0 -6 "-9 -D"; do
  name=$(echo "$opt" | tr -d ' -')
  (cd "$tmp/src" && zip -q -r $opt "$root/zip_reader_fuzz/info$name.zip" quillon)
done
cat > "$tmp/archive.json" <<'JSON'
{"comment": "c", "entries": [
  {"name": "quillon/e.txt", "data": "encrypted with the empty password", "password": ""},
  {"name": "quillon/s.txt", "data": "stored", "method": 0, "password": "", "descriptor": true},
  {"name": "quillon/x.txt", "data": "extra", "local_extra_hex": "55540500010203040a", "comment": "entry"}]}
JSON
"$py" "$here/../tests/make_zip.py" "$tmp/archive.json" "$root/zip_reader_fuzz/made.zip"
