#!/bin/sh
# Seed corpora of the zip layer's fuzz targets, made fresh at every run:
# Deflate streams at several levels and strategies, and small archives
# (stored, deflated, encrypted with the empty password, with comments),
# and the shapes the reader must refuse: local headers that disagree with
# their records, entries sharing bytes (one local entry for two records, an
# entry holding another), bytes between directory records, two end records
# that disagree, paths named twice, control characters in names, and names
# of the station's own files.
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

a='{"name": "quillon/a.txt", "data": "station firmware package station firmware"}'
n=0
while IFS= read -r shape; do
  [ -n "$shape" ] || continue
  n=$((n + 1))
  printf '%s\n' "$shape" > "$tmp/shape.json"
  "$py" "$here/../tests/make_zip.py" "$tmp/shape.json" "$root/zip_reader_fuzz/shape$n.zip"
done <<JSON
{"entries": [$a, {"name": "quillon/b.txt", "data": "b", "local_name_hex": "712f782e747874"}]}
{"entries": [$a, {"name": "quillon/b.txt", "data": "b", "local_flags_xor": 2048}]}
{"entries": [$a, {"name": "quillon/b.txt", "data": "b", "local_method": 0}]}
{"entries": [$a, {"name": "quillon/b.txt", "data": "b", "crc_xor": 1}]}
{"entries": [$a, {"name": "quillon/b.txt", "data": "b", "size_delta": 5}]}
{"entries": [$a, {"name": "quillon/b.txt", "data": "described", "descriptor": true}]}
{"entries": [$a, {"name": "quillon/a.txt", "data": "x", "same_local_as": 0}]}
{"entries": [$a, {"name": "quillon/o.bin", "contains_next": true}, {"name": "quillon/i.txt", "data": "inner inner inner"}]}
{"central_gap": 3, "entries": [$a, {"name": "quillon/b.txt", "data": "b"}]}
{"end_shadow": true, "entries": [$a, {"name": "quillon/b.txt", "data": "b"}]}
{"entries": [$a, {"name": "quillon/a.txt/", "data": ""}]}
{"entries": [$a, {"name": "quillon/a.txt/c", "data": "c"}]}
{"entries": [$a, {"name": "QUILLON/A.TXT", "data": "upper"}]}
{"entries": [$a, {"name": "quillon/bell\u0007\u007f", "data": "b"}]}
{"entries": [$a, {"name": "downtoolcfg.ini", "data": "[Login]"}, {"name": "LOG/x.txt", "data": "x"}]}
{"entries": [$a, {"name": "English.lng", "data": "x"}, {"name": "Upgrade_Backup/1.dy", "data": "x"}]}
JSON
