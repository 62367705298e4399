#!/usr/bin/env python3
"""Fails unless a program carries an application manifest (resource type 24,
id 1) that is well-formed XML and asks for administrator rights without UI
access, in the form that Windows XP's manifest parser loads too: trustInfo in
a namespace of its own (XP refuses it inside asm.v1), and no element that
declares one namespace twice (XP SP2's parser then corrupts memory, KB921337).
  check-manifest.py PROGRAM.exe"""
import re
import struct
import sys
import xml.etree.ElementTree as ET

NAMESPACES = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3"}


def resource(image, type_id, name_id):
    """The bytes of a resource in its first language, or None."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    directory, size = struct.unpack_from("<2I", image, pe + 24 + 96 + 2 * 8)  # PE32 data directory 2
    section_table = pe + 24 + optional_size

    def offset(address):
        for i in range(sections):
            virtual_size, start, raw_size, raw = struct.unpack_from("<4I", image, section_table + 40 * i + 8)
            if start <= address < start + max(virtual_size, raw_size):
                return raw + address - start
        raise ValueError(f"address {address:#x} is in no section")

    def child(entry, wanted):
        named, ids = struct.unpack_from("<2H", image, base + entry + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<2I", image, base + entry + 16 + 8 * i)
            if wanted in (None, name):
                return target & 0x7FFFFFFF
        return None

    if not size:
        return None
    base = offset(directory)
    entry = 0
    for wanted in (type_id, name_id, None):
        entry = child(entry, wanted)
        if entry is None:
            return None
    data, length = struct.unpack_from("<2I", image, base + entry)
    return image[offset(data):offset(data) + length]


def faults_of(manifest):
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as e:
        return [f"not well-formed XML: {e}"]
    faults = []
    if root.tag != "{%s}assembly" % NAMESPACES["v1"] or root.get("manifestVersion") != "1.0":
        faults.append("the root is not an asm.v1 assembly of manifestVersion 1.0")
    if root.find("v1:assemblyIdentity", NAMESPACES) is None:
        faults.append("no assemblyIdentity, which Windows requires")
    if root.find("v1:trustInfo", NAMESPACES) is not None:
        faults.append("trustInfo inside the asm.v1 namespace, which Windows XP refuses")
    levels = root.findall("v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel", NAMESPACES)
    wanted = {"level": "requireAdministrator", "uiAccess": "false"}
    if [level.attrib for level in levels] != [wanted]:
        faults.append(f"requested execution levels {[level.attrib for level in levels]}, want [{wanted}]")
    for tag in re.findall(rb"<[^!?/][^>]*>", manifest):
        declared = re.findall(rb'xmlns(?::[\w.-]+)?\s*=\s*["\']([^"\']*)', tag)
        if len(declared) != len(set(declared)):
            faults.append(f"one namespace declared twice on an element: {tag.decode(errors='replace')}")
    return faults


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    exe = sys.argv[1]
    with open(exe, "rb") as f:
        manifest = resource(f.read(), 24, 1)
    name = exe.replace("\\", "/").rsplit("/", 1)[-1]
    faults = ["no application manifest (resource type 24, id 1)"] if manifest is None else faults_of(manifest)
    for fault in faults:
        print(f"{name}: {fault}")
    if faults:
        sys.exit(1)
    print(f"{name}: its manifest asks for administrator rights without UI access ({len(manifest)} bytes)")


if __name__ == "__main__":
    main()
