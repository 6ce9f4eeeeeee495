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
  local_offset_delta (ints: break the central record on purpose).
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


def main():
    contents = json.load(open(sys.argv[1], encoding="utf-8"))
    rng = random.Random(1234)
    body = bytearray()
    central = bytearray()
    dos_time, dos_date = 0x6C21, 0x5A87
    for e in contents["entries"]:
        name = bytes.fromhex(e["name_hex"]) if "name_hex" in e else e["name"].encode("utf-8")
        if "data_file" in e:
            data = open(e["data_file"], "rb").read()
        elif "data_hex" in e:
            data = bytes.fromhex(e["data_hex"])
        else:
            data = e.get("data", "").encode("utf-8")
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
        central_extra = bytes.fromhex(e.get("central_extra_hex", e.get("local_extra_hex", "")))
        comment = e.get("comment", "").encode("utf-8")
        offset = len(body)
        lcrc, lcsize, lusize = (0, 0, 0) if descriptor else (crc, len(payload), len(data))
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, version, flags, method, dos_time, dos_date,
                            lcrc, lcsize, lusize, len(name), len(local_extra))
        body += name + local_extra + payload
        if descriptor:
            body += struct.pack("<IIII", 0x08074B50, crc, len(payload), len(data))
        mode = e.get("unix_mode")
        made_by = (3 << 8 | 30) if mode is not None else 20
        external = (mode << 16) if mode is not None else 0
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, made_by, version, flags, method, dos_time,
                               dos_date, crc ^ e.get("crc_xor", 0), len(payload),
                               len(data) + e.get("size_delta", 0), len(name), len(central_extra),
                               len(comment), 0, 0, external, offset + e.get("local_offset_delta", 0))
        central += name + central_extra + comment
    archive_comment = contents.get("comment", "").encode("utf-8")
    n = len(contents["entries"])
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n, n, len(central), len(body), len(archive_comment))
    with open(sys.argv[2], "wb") as f:
        f.write(bytes(body) + bytes(central) + end + archive_comment)


if __name__ == "__main__":
    main()
