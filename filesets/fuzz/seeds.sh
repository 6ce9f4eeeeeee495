#!/bin/sh
# Seed corpus of the list file fuzz target, made fresh at every run. An
# input is two bytes (the reference list's length, little-endian, in 15
# bits; the top bit picks UTF-8 rather than GBK as the system code page), the
# reference list, then the current list: lists as the list writer writes
# them, in GBK and UTF-8, with and without check values, reordered,
# shortened, with a changed size, a long line and names holding ';'.
# Usage: filesets/fuzz/seeds.sh SEEDROOT [BUILDDIR]
set -eu
mkdir -p "$1/filesets_list_fuzz"
py=python3
[ -x /usr/bin/python3 ] && py=/usr/bin/python3
"$py" - "$1/filesets_list_fuzz" <<'PY'
import os, struct, sys
out = sys.argv[1]
def lines(*ls):
    return "".join(l + "\r\n" for l in ls)
ref = lines("FILE: 我的音乐", "\\内置资源\\我的音乐\\歌.mp3;1200byte;0x0000abcd",
            "FILE: 图片收藏", "\\内置资源\\图片收藏\\a;b.jpg;65024byte;0x12345678",
            "\\内置资源\\图片收藏\\Thumbs.db;10byte;0x00000001")
moved = lines("FILE: 图片收藏", "\\内置资源\\图片收藏\\a;b.jpg;65024byte;0x12345678",
              "\\内置资源\\图片收藏\\Thumbs.db;10byte;0x00000001",
              "FILE: 我的音乐", "\\内置资源\\我的音乐\\歌.mp3;1200byte;0x0000abcd", "extra.txt;1byte;0x00000000")
changed = ref.replace("1200byte", "1201byte")
plain = lines("FILE: navidat", "city.dat;500000byte", "FILE: configdat", "nav.cfg;8byte", "title line")
long = lines("FILE: " + "长" * 150, "x" * 300 + ";1byte")
n = 0
for r, c in [(ref, ref), (ref, moved), (ref, changed), (plain, plain[:40]), (long, long), (plain, "")]:
    for enc in ("gbk", "utf-8"):
        rb, cb = r.encode(enc), c.encode(enc)
        head = len(rb) | (0x8000 if enc == "utf-8" else 0)
        open(os.path.join(out, "s%02d" % n), "wb").write(struct.pack("<H", head) + rb + cb)
        n += 1
PY
