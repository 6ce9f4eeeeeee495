#!/bin/sh
# Seed corpora of the device layer's fuzz targets, made fresh at every run.
# device_sim_reply_fuzz: a mode byte (low two bits: commands - 1; bit 2:
# the handset's end stays open, so missing replies time out), one byte per
# command (direction = b % 3, length = (0 1 8 64 512 4096)[b / 3 % 6]), a
# u16 per command (the length of the piece loaded before it), then the
# pieces: replies as a handset sends them with request tags 1, 2, ... and
# untagged ones - good replies with data, a check condition, a short
# reply, more data than asked for, a reply without data for a data
# command, a command left unanswered whose late reply comes before the
# next answer.
# device_sysfs_fuzz: one byte choosing where sg1 points, then ten fields
# separated by 0x1F (interface class, serial, vendor, model, revision of
# sg0, then of sg1) as a handset's attributes read.
# Usage: device/fuzz/seeds.sh SEEDROOT [BUILDDIR]
set -eu
mkdir -p "$1/device_sim_reply_fuzz" "$1/device_sysfs_fuzz"
py=python3
[ -x /usr/bin/python3 ] && py=/usr/bin/python3
"$py" - "$1" <<'PY'
import os, struct, sys
root = sys.argv[1]
def reply(status, tag, data=b"", length=None):
    return struct.pack("<BBHI", status, 0, tag, len(data) if length is None else length) + data
def plan(mode, *cmds):
    # cmds: (direction, length index, piece)
    head = bytes([mode | (len(cmds) - 1)]) + bytes(d + 3 * l for d, l, _ in cmds)
    head += b"".join(struct.pack("<H", len(p)) for _, _, p in cmds)
    return head + b"".join(p for _, _, p in cmds)
seeds = [
    plan(0, (2, 2, reply(0, 1, bytes(range(8))))),
    plan(0, (0, 0, reply(0, 1)), (1, 4, reply(0, 2)), (2, 3, reply(0, 3, b"\x01" * 64))),
    plan(0, (2, 2, reply(2, 1)), (2, 2, reply(0, 2, b"12345678"))),
    plan(0, (2, 5, reply(0, 0, b"\xaa" * 4096)), (0, 0, reply(0, 0))),
    plan(0, (2, 1, reply(0, 1, b"xy"))),
    plan(0, (0, 0, reply(0, 1, b"abcd"))),
    plan(0, (2, 2, reply(0, 1, b"", 8)[:5])),
    plan(4, (2, 2, b""), (2, 2, reply(0, 1, b"late0000") + reply(0, 2, b"answer00"))),
    plan(4, (0, 0, b""), (0, 0, b""), (2, 3, reply(0, 1) + reply(0, 2) + reply(0, 3, b"z" * 64))),
    plan(4, (2, 2, reply(0, 1, b"1234")), (0, 0, reply(0, 9))),
    plan(4 | 0x18, (2, 2, reply(0, 0, b"untagged"))),
]
for i, s in enumerate(seeds):
    open(os.path.join(root, "device_sim_reply_fuzz", "s%02d" % i), "wb").write(s)
def node(cls, serial, vendor, model, rev):
    return [cls, serial, vendor, model, rev]
sets = [
    (0, node(b"08\n", b"0123456789ABCDEF\n", b"Vantor  \n", b"Quillon T745    \n", b"0001\n") +
        node(b"08\n", b"", b"VANTOR\n", b"Quillon T760\n", b"0002\n")),
    (0, node(b"08\n", b"\x1e", b"Vantor\n", b"quillon_t745\n", b"1\n") +
        node(b"03\n", b"HID\n", b"Vantor\n", b"Quillon T745\n", b"0001\n")),
    (2, node(b"08", b"  \t\n", b"Vantor", b"Quillon#T7&45\\x", b"\x00\x01") +
        node(b"\x1d", b"S", b"SanDisk", b"Cruzer", b"1.00")),
    (3, node(b"08\n", b"S" * 300, b"Vantor" * 10, b"Quillon " + b"x" * 40, b"0001") + node(b"08", b"", b"", b"", b"")),
]
for i, (link, fields) in enumerate(sets):
    open(os.path.join(root, "device_sysfs_fuzz", "s%02d" % i), "wb").write(bytes([link]) + b"\x1f".join(fields))
PY
