"""The bytes of one resource of a 32-bit Windows program, read from its file."""
import struct


def resource(image, path):
    """The bytes of the resource at `path` (type, name), first language; None
    without one. A type or name is a number or a string (names compare as
    Windows compares them: without regard to case)."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    rva, size = struct.unpack_from("<2I", image, pe + 24 + 96 + 16)  # PE32 data directory 2
    headers = [struct.unpack_from("<4I", image, pe + 24 + optional_size + 40 * i + 8) for i in range(sections)]
    offset = lambda a: next(raw + a - start for length, start, raw_length, raw in headers
                            if start <= a < start + max(length, raw_length))
    base, entry = offset(rva) if size else None, 0

    def matches(name, wanted):
        if wanted is None or isinstance(wanted, int):
            return wanted in (None, name)
        if not name & 0x80000000:
            return False
        at = base + (name & 0x7FFFFFFF)
        length = struct.unpack_from("<H", image, at)[0]
        return image[at + 2:at + 2 + 2 * length].decode("utf-16-le").upper() == wanted.upper()

    for wanted in path + (None,):
        if base is None:
            return None
        named, ids = struct.unpack_from("<2H", image, base + entry + 12)
        entries = [struct.unpack_from("<2I", image, base + entry + 16 + 8 * i) for i in range(named + ids)]
        entry = next((target & 0x7FFFFFFF for name, target in entries if matches(name, wanted)), None)
        if entry is None:
            return None
    data, length = struct.unpack_from("<2I", image, base + entry)
    return image[offset(data):offset(data) + length]
