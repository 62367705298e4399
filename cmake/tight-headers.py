#!/usr/bin/env python3
"""Fits a 32-bit Windows program's headers into one file block: the linker's
DOS stub (64 bytes of code and text) pushes four section headers past the
first 512 bytes, and the next 512 are padding. The stub is replaced by a
smaller one inside the DOS header's reserved bytes (it still prints a line
and ends under DOS), the PE headers move up behind it, every section's data
moves 512 bytes nearer the start, and the checksum is made again. A program
whose headers do not fit, or that carries anything addressed by file offset
(symbols, a certificate table), is left as it is.
  tight-headers.py PROGRAM"""
import struct
import sys

NEW_HEADERS = 0x40  # the PE headers right behind the 64-byte DOS header

# The DOS program, loaded from offset 0x10 (a one-paragraph header) and
# started at 0x1C, in the reserved bytes: "Windows program", then exit code 1.
DOS_CODE = bytes([0x0E, 0x1F,              # push cs; pop ds
                  0xBA, 0x1A, 0x00,        # mov dx, message (0x2A - 0x10)
                  0xB4, 0x09, 0xCD, 0x21,  # print up to '$'
                  0xB8, 0x01, 0x4C, 0xCD, 0x21])  # exit 1
DOS_MESSAGE = b"Windows program\r\n$"


def checksum(image):
    """The PE checksum of an image whose checksum field is zero: its 16-bit
    words summed with the carries folded back in, plus its length."""
    total = 0
    for (word,) in struct.iter_unpack("<H", image + b"\0" * (len(image) % 2)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def tighten(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, _, symbols, _, optional_size = struct.unpack_from("<H3IH", image, pe + 6)
    optional = pe + 24
    file_alignment = struct.unpack_from("<I", image, optional + 36)[0]
    headers = struct.unpack_from("<I", image, optional + 60)[0]
    certificates = struct.unpack_from("<I", image, optional + 96 + 4 * 8 + 4)[0]
    end = optional + optional_size + 40 * sections
    if (headers <= file_alignment or NEW_HEADERS + end - pe > file_alignment or symbols or certificates
            or any(image[end:headers])):
        return None
    shift = headers - file_alignment
    dos = bytearray(image[:NEW_HEADERS])
    struct.pack_into("<5H", dos, 2, NEW_HEADERS, 1, 0, 1, 0)  # last page's bytes, pages, relocations, paragraphs, minimum
    struct.pack_into("<2H", dos, 0x14, 0x1C - 0x10, 0)  # IP, CS
    struct.pack_into("<H", dos, 0x18, 0x40)  # the relocations' offset: 0x40 says "a new executable"
    dos[0x1C:0x3C] = DOS_CODE + DOS_MESSAGE
    struct.pack_into("<I", dos, 0x3C, NEW_HEADERS)
    out = bytearray(dos + image[pe:end])
    out += b"\0" * (file_alignment - len(out)) + image[headers:]
    optional = NEW_HEADERS + 24
    struct.pack_into("<I", out, optional + 60, file_alignment)
    for i in range(sections):
        raw = optional + optional_size + 40 * i + 20
        pointer = struct.unpack_from("<I", out, raw)[0]
        if pointer:
            struct.pack_into("<I", out, raw, pointer - shift)
    struct.pack_into("<I", out, optional + 64, 0)
    struct.pack_into("<I", out, optional + 64, checksum(bytes(out)))
    return bytes(out)


if len(sys.argv) != 2:
    sys.exit(__doc__)
with open(sys.argv[1], "rb") as f:
    original = f.read()
assert len(DOS_CODE + DOS_MESSAGE) == 0x3C - 0x1C
tight = tighten(original)
if tight is not None:
    with open(sys.argv[1], "wb") as f:
        f.write(tight)
