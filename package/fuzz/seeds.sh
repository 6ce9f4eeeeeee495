#!/bin/sh
# Seed corpus of the package header fuzz target, made fresh at every run
# with the release tool (BUILDDIR/bin/flashery-pack create, built by
# scripts/fuzz): small packages with fixed sections, named sections,
# Extend slots and GBK texts, plus a bare header and a truncated package.
# The last byte of an input also chooses the extension table's last code.
# Usage: package/fuzz/seeds.sh SEEDROOT BUILDDIR
set -eu
out="$1/package_header_fuzz"
mkdir -p "$out"
pack="${2:-build-fuzz}/bin/flashery-pack"
if [ ! -x "$pack" ]; then
  echo "package seeds: no $pack, the target starts from an empty corpus" >&2
  exit 0
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
printf 'boot' > "$tmp/bl.bin"
printf 'kernel image %s' "$(seq 1 40 | tr -d '\n')" > "$tmp/nk.bin"
head -c 700 /dev/urandom > "$tmp/system.img"
: > "$tmp/empty.img"
printf 'PK\005\006\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000' > "$tmp/app.zip"
printf 'gps data' > "$tmp/gps.bin"
quiet() { "$pack" create "$@" >/dev/null 2>&1 || echo "package seeds: flashery-pack create $* failed" >&2; }
quiet --product T745 --version V1.0 --bl "$tmp/bl.bin" --nk "$tmp/nk.bin" "$out/fixed.QFM"
quiet --product T745 --version "V2 测试" --bl "$tmp/bl.bin" --bl-name BL1 --nk "$tmp/nk.bin" \
  --system "$tmp/system.img" --system-name "系统" --cache "$tmp/empty.img" --recovery "$tmp/bl.bin" \
  --env "$tmp/bl.bin" --mlo "$tmp/bl.bin" --userdata "$tmp/empty.img" "$out/all.QFM"
quiet --product T760 --version V3 --nk "$tmp/nk.bin" --extend app.zip="$tmp/app.zip" \
  --extend gps="$tmp/gps.bin" --extend res="$tmp/bl.bin" "$out/extend.QFM"
quiet --product T760 --version V4 --extend unknown="$tmp/gps.bin" "$out/unbound.QFM"
if [ -f "$out/fixed.QFM" ]; then
  head -c 828 "$out/fixed.QFM" > "$out/header-only"
  head -c 840 "$out/all.QFM" > "$out/truncated"
fi
