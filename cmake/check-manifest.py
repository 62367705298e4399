#!/usr/bin/env python3
"""Fails unless PROGRAM carries an application manifest (resource type 24, id 1)
of well-formed XML that asks for administrator rights without UI access, in the
form Windows XP's parser loads too: trustInfo in a namespace of its own (XP
refuses it in asm.v1) and no element declaring one namespace twice (XP SP2's
parser then corrupts memory, KB921337).
  check-manifest.py PROGRAM"""
import re
import sys
import xml.etree.ElementTree as ET

from pe_resources import resource

NS = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3"}


def faults_of(manifest):
    if manifest is None:
        return ["no application manifest (resource type 24, id 1)"]
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as e:
        return [f"not well-formed XML: {e}"]
    request = "v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel"
    levels = [e.attrib for e in root.iterfind(request, NS)]
    checks = [(root.tag == "{%s}assembly" % NS["v1"] and root.get("manifestVersion") == "1.0",
               "the root is not an asm.v1 assembly, manifestVersion 1.0"),
              (root.find("v1:assemblyIdentity", NS) is not None, "no assemblyIdentity, which Windows requires"),
              (root.find("v1:trustInfo", NS) is None, "trustInfo in the asm.v1 namespace, which Windows XP refuses"),
              (levels == [{"level": "requireAdministrator", "uiAccess": "false"}],
               f"execution levels {levels}, want requireAdministrator without UI access")]
    faults = [fault for ok, fault in checks if not ok]
    for tag in re.findall(rb"<[^!?/][^>]*>", manifest):
        declared = re.findall(rb'xmlns(?::[\w.-]+)?\s*=\s*["\']([^"\']*)', tag)
        if len(declared) != len(set(declared)):
            faults.append(f"a namespace declared twice on one element: {tag.decode(errors='replace')}")
    return faults


if len(sys.argv) != 2:
    sys.exit(__doc__)
with open(sys.argv[1], "rb") as f:
    manifest = resource(f.read(), (24, 1))
name = re.split(r"[/\\]", sys.argv[1])[-1]
faults = faults_of(manifest)
print("\n".join(f"{name}: {fault}" for fault in faults) or f"{name}: asks for administrator rights, no UI access")
sys.exit(1 if faults else 0)
