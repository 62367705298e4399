#!/usr/bin/env python3
"""Fails unless PROGRAM carries the logo as a plain bitmap resource named LOGO
(type 2), where a resource editor finds it to rebrand a build: 204 x 66
pixels, 16 colours, and the bytes of BITMAP (the bitmap file without its
14-byte file header).
  check-logo.py PROGRAM BITMAP"""
import struct
import sys

from pe_resources import resource

if len(sys.argv) != 3:
    sys.exit(__doc__)
with open(sys.argv[1], "rb") as f:
    logo = resource(f.read(), (2, "LOGO"))
with open(sys.argv[2], "rb") as f:
    source = f.read()[14:]
if logo is None:
    sys.exit(f"{sys.argv[1]}: no bitmap resource named LOGO")
width, height, planes, bits = struct.unpack_from("<iiHH", logo, 4)
faults = [fault for ok, fault in [((width, height) == (204, 66), f"{width} x {height} pixels, want 204 x 66"),
                                  (bits == 4, f"{bits} bits per pixel, want 4 (16 colours)"),
                                  (logo == source, f"its bytes are not those of {sys.argv[2]}")] if not ok]
print("\n".join(faults) or "LOGO: a 204 x 66 bitmap of 16 colours, the source's bytes")
sys.exit(1 if faults else 0)
