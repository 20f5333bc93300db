#!/usr/bin/env python3
"""Tags a JPEG file's colours without touching its picture data, for the colour bench.

Usage:
  jpeg_tags.py icc PROFILE IN OUT   embed PROFILE (APP2 ICC_PROFILE chunks) in place of any
                                    profile IN has
  jpeg_tags.py r03 IN OUT           drop IN's profile and EXIF and mark it Adobe RGB the
                                    camera way: an EXIF block whose interoperability
                                    index is "R03"
  jpeg_tags.py mae A.ppm B.ppm      mean absolute error per channel between two pictures
"""
import struct
import sys

ICC_SIGNATURE = b"ICC_PROFILE\0"
CHUNK = 65519 - len(ICC_SIGNATURE) - 2


def segments(data):
    """The header's segments as (marker, bytes with marker and length), and the rest."""
    assert data[:2] == b"\xff\xd8", "not a JPEG file"
    at, found = 2, []
    while True:
        marker = data[at + 1]
        if marker == 0xDA or not 0xE0 <= marker <= 0xFE:
            return found, data[at:]
        length = struct.unpack(">H", data[at + 2:at + 4])[0]
        found.append((marker, data[at:at + 2 + length]))
        at += 2 + length


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def without(data, drop):
    """SOI, the JFIF header if any, the new segments, then the old ones `drop` leaves."""
    found, rest = segments(data)
    head = [s for m, s in found if m == 0xE0]
    kept = [s for m, s in found if m != 0xE0 and not drop(m, s)]
    return b"\xff\xd8" + b"".join(head), b"".join(kept) + rest


def is_icc(marker, seg):
    return marker == 0xE2 and seg[4:16] == ICC_SIGNATURE


def icc_segments(profile):
    chunks = [profile[i:i + CHUNK] for i in range(0, len(profile), CHUNK)]
    return b"".join(segment(0xE2, ICC_SIGNATURE + bytes([n + 1, len(chunks)]) + c)
                    for n, c in enumerate(chunks))


def r03_exif():
    """A little-endian TIFF: IFD0 -> EXIF IFD -> interoperability IFD with index "R03"."""
    def ifd(entries, offset):
        out = struct.pack("<H", len(entries))
        for tag, kind, count, value in entries:
            out += struct.pack("<HHI", tag, kind, count) + value
        return out + struct.pack("<I", 0)

    ifd0_at, exif_at, interop_at = 8, 8 + 18, 8 + 18 + 18
    tiff = b"II*\0" + struct.pack("<I", ifd0_at)
    tiff += ifd([(0x8769, 4, 1, struct.pack("<I", exif_at))], ifd0_at)
    tiff += ifd([(0xA005, 4, 1, struct.pack("<I", interop_at))], exif_at)
    tiff += ifd([(0x0001, 2, 4, b"R03\0")], interop_at)
    return segment(0xE1, b"Exif\0\0" + tiff)


def read_ppm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    assert fields[0] == b"P6", path + " is not a binary RGB PPM"
    return int(fields[1]), int(fields[2]), data[at + 1:]


def main(argv):
    if argv[:1] == ["icc"] and len(argv) == 4:
        profile = open(argv[1], "rb").read()
        head, tail = without(open(argv[2], "rb").read(), is_icc)
        open(argv[3], "wb").write(head + icc_segments(profile) + tail)
    elif argv[:1] == ["r03"] and len(argv) == 3:
        head, tail = without(open(argv[1], "rb").read(),
                             lambda m, s: is_icc(m, s) or m == 0xE1)
        open(argv[2], "wb").write(head + r03_exif() + tail)
    elif argv[:1] == ["mae"] and len(argv) == 3:
        wa, ha, a = read_ppm(argv[1])
        wb, hb, b = read_ppm(argv[2])
        assert (wa, ha) == (wb, hb), "the pictures differ in size"
        print("%.2f" % (sum(abs(x - y) for x, y in zip(a, b)) / len(a)))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
