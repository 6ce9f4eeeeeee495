#!/usr/bin/env python3
"""Writes a zip archive exactly as a JSON description says, for the tests
of the zip reader: raw name bytes (legacy code pages), traditional PKWARE
encryption (any password, the empty one included), data descriptors,
different local and central extra fields, comments, Unix symbolic links,
and deliberately broken fields.

usage: make_zip.py LAYOUT.json OUT.zip

LAYOUT: {"comment": str, "entries": [ENTRY...]}
ENTRY keys (all optional except a name):
  name (str, UTF-8) or name_hex (raw bytes); data (str) or data_hex or
  data_file (path); method 0|8; level (zlib level); password (str: encrypt);
  descriptor (bool: flags bit 3, sizes after the data); utf8_flag (bool);
  version_needed (int); local_extra_hex, central_extra_hex, comment (str);
  unix_mode (int, e.g. 0o120777 for a link); crc_xor, size_delta,
  local_offset_delta (ints: break the central record on purpose; with
  break_local the local header carries crc_xor and size_delta too);
  local_name_hex, local_flags_xor, local_method (a local header that
  disagrees with its record); same_local_as (index of an earlier record
  whose local entry this record points at); contains_next (this entry is
  stored and its data are the next entry's whole local record).
LAYOUT may also hold central_gap (zero bytes between directory records)
and end_shadow (a second, disagreeing end record inside the first one's
comment; the last entry's record is then repeated).
"""
import json
import random
import struct
import sys
import zlib

CRC_TABLE = []
for i in range(256):
    c = i
    for _ in range(8):
        c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
    CRC_TABLE.append(c)


class Cipher:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for b in password:
            self.update(b)

    def update(self, p):
        k0, k1, k2 = self.k
        k0 = CRC_TABLE[(k0 ^ p) & 0xFF] ^ (k0 >> 8)
        k1 = ((k1 + (k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k2 = CRC_TABLE[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8)
        self.k = [k0, k1, k2]

    def encrypt(self, data):
        out = bytearray()
        for p in data:
            t = (self.k[2] | 2) & 0xFFFF
            out.append(p ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self.update(p)
        return bytes(out)


def local_record(e, rng, dos_time, dos_date):
    """The entry's local header, name, extra field, data and descriptor,
    and the fields its central record repeats."""
    name = bytes.fromhex(e["name_hex"]) if "name_hex" in e else e["name"].encode("utf-8")
    if "data_file" in e:
        data = open(e["data_file"], "rb").read()
    elif "data_hex" in e:
        data = bytes.fromhex(e["data_hex"])
    else:
        data = e.get("data", "").encode("utf-8")
    if "data_bytes" in e:
        data = e["data_bytes"]
    method = e.get("method", 8)
    crc = zlib.crc32(data) & 0xFFFFFFFF
    if method == 8:
        z = zlib.compressobj(e.get("level", 6), zlib.DEFLATED, -15)
        payload = z.compress(data) + z.flush()
    else:
        payload = data
    flags = 0
    if e.get("utf8_flag"):
        flags |= 0x800
    descriptor = e.get("descriptor", False)
    if descriptor:
        flags |= 0x8
    if "password" in e:
        flags |= 0x1
        cipher = Cipher(e["password"].encode("utf-8"))
        check = (dos_time << 16) if descriptor else crc
        header = bytes(rng.randrange(256) for _ in range(10))
        header += bytes([(check >> 16) & 0xFF, (check >> 24) & 0xFF])
        payload = cipher.encrypt(header + payload)
    version = e.get("version_needed", 20 if method == 8 else 10)
    local_extra = bytes.fromhex(e.get("local_extra_hex", ""))
    lcrc, lcsize, lusize = (0, 0, 0) if descriptor else (crc, len(payload), len(data))
    if e.get("break_local"):  # the local header carries the broken fields too
        lcrc ^= e.get("crc_xor", 0)
        lusize += e.get("size_delta", 0)
    local_name = bytes.fromhex(e["local_name_hex"]) if "local_name_hex" in e else name
    out = struct.pack("<IHHHHHIIIHH", 0x04034B50, version, flags ^ e.get("local_flags_xor", 0),
                      e.get("local_method", method), dos_time, dos_date, lcrc, lcsize, lusize,
                      len(local_name), len(local_extra))
    out += local_name + local_extra + payload
    if descriptor:
        out += struct.pack("<IIII", 0x08074B50, crc, len(payload), len(data))
    fields = dict(name=name, crc=crc, csize=len(payload), usize=len(data), flags=flags, method=method,
                  version=version, data_at=30 + len(local_name) + len(local_extra))
    return out, fields


def central_record(e, f, offset, dos_time, dos_date, comment=None):
    central_extra = bytes.fromhex(e.get("central_extra_hex", e.get("local_extra_hex", "")))
    if comment is None:
        comment = e.get("comment", "").encode("utf-8")
    mode = e.get("unix_mode")
    made_by = (3 << 8 | 30) if mode is not None else 20
    external = (mode << 16) if mode is not None else 0
    rec = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, made_by, f["version"], f["flags"], f["method"],
                      dos_time, dos_date, f["crc"] ^ e.get("crc_xor", 0), f["csize"],
                      f["usize"] + e.get("size_delta", 0), len(f["name"]), len(central_extra),
                      len(comment), 0, 0, external, offset + e.get("local_offset_delta", 0))
    return rec + f["name"] + central_extra + comment


def main():
    contents = json.load(open(sys.argv[1], encoding="utf-8"))
    rng = random.Random(1234)
    body = bytearray()
    records = []  # (entry, fields, offset)
    dos_time, dos_date = 0x6C21, 0x5A87
    entries = contents["entries"]
    i = 0
    while i < len(entries):
        e = entries[i]
        if e.get("contains_next"):
            # Stored entry whose data are the next entry's whole local record:
            # two records, one stream of bytes.
            inner, fi = local_record(entries[i + 1], rng, dos_time, dos_date)
            outer, fo = local_record(dict(e, method=0, data_bytes=inner), rng, dos_time, dos_date)
            records.append((e, fo, len(body)))
            records.append((entries[i + 1], fi, len(body) + fo["data_at"]))
            body += outer
            i += 2
            continue
        local, f = local_record(e, rng, dos_time, dos_date)
        offset = len(body)
        if "same_local_as" in e:  # the record points at an earlier entry's local header
            offset = records[e["same_local_as"]][2]
        else:
            body += local
        records.append((e, f, offset))
        i += 1
    central = bytearray()
    for k, (e, f, offset) in enumerate(records):
        if k and contents.get("central_gap"):
            central += b"\0" * contents["central_gap"]
        central += central_record(e, f, offset, dos_time, dos_date)
    archive_comment = contents.get("comment", "").encode("utf-8")
    n = len(records)
    if contents.get("end_shadow"):
        # A second end record, describing only the first record, hidden in
        # the comment of an extra last record (itself a copy of the last
        # one) and in the comment of the first end record: readers that
        # search from the front and from the end see different directories.
        e, f, offset = records[-1]
        first = central_record(*records[0][:2], records[0][2], dos_time, dos_date)
        head = central_record(e, f, offset, dos_time, dos_date, comment=b"")
        inner_at = len(body) + len(central) + len(head)  # where the copy of the first record lands
        end_len = 22
        shadow = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(first), inner_at, end_len)
        last = central_record(e, f, offset, dos_time, dos_date, comment=first + shadow)
        central += last
        n += 1
        archive_comment = b""
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n, n, len(central), len(body), len(archive_comment))
    with open(sys.argv[2], "wb") as f:
        f.write(bytes(body) + bytes(central) + end + archive_comment)


if __name__ == "__main__":
    main()
