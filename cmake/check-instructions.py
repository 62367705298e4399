#!/usr/bin/env python3
"""Fails unless every instruction of the given 32-bit Windows programs runs on an
80386 with a 387: the oldest processor Windows 95 runs on.

    check-instructions.py --objdump i686-w64-mingw32-objdump PROGRAM.exe...

The check reads the finished file, not the compiler flags: the toolchain's own
libgcc is built for the Pentium Pro, and a helper linked in from it (__fixunsdfsi,
__powidf2, __bswapsi2...) brings CMOV, FCOMI or BSWAP whatever the flags say.
Every mnemonic must be in the 80386/387 set below; anything else is named with
its count and first address. The constructor and destructor tables that the
linker puts at the end of .text are data and are left out.
"""
import argparse
import re
import struct
import subprocess
import sys
from collections import OrderedDict

# The 80386 integer set and the 387 set, as objdump spells them in Intel syntax.
I386 = set("""
aaa aad aam aas adc add and arpl bound bsf bsr bt btc btr bts call cbw cdq clc cld cli clts
cmc cmp cmps cmpsb cmpsw cmpsd cwd cwde daa das dec div enter hlt idiv imul in inc ins insb
insw insd int int3 into iret iretd iretw ja jae jb jbe jcxz je jecxz jg jge jl jle jmp jne jno jnp
jns jo jp js lahf lar lcall lds lea leave les lfs lgdt lgs lidt ljmp lldt lmsw lods lodsb
lodsw lodsd loop loope loopne lret lsl lss ltr mov movs movsb movsw movsd movsx movzx mul neg
nop not or out outs outsb outsw outsd pop popa popad popf popfd popfw push pusha pushad pushf
pushfd pushfw rcl rcr ret retf rol ror sahf sal sar sbb scas scasb scasw scasd seta setae
setb setbe sete setg setge setl setle setne setno setnp setns seto setp sets sgdt shl shld
shr shrd sidt sldt smsw stc std sti stos stosb stosw stosd str sub test verr verw wait fwait
xchg xlat xlatb xor
""".split())
I387 = set("""
f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcos fdecstp fdiv fdivp
fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fninit fist
fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp
fnop fpatan fprem fprem1 fptan frndint frstor fsave fnsave fscale fsin fsincos fsqrt fst
fstcw fnstcw fstenv fnstenv fstp fstsw fnstsw fsub fsubp fsubr fsubrp ftst fucom fucomp
fucompp fxam fxch fxtract fyl2x fyl2xp1
""".split())
ALLOWED = I386 | I387
# Prefixes objdump prints as words of their own before the instruction.
PREFIXES = set("rep repe repz repne repnz lock cs ds es fs gs ss data16 addr16 data32 addr32".split())
MMX_SSE_REGISTER = re.compile(r"\b[xyz]?mm\d+\b")


def pe_sections(path):
    """(name, virtual address, virtual size, file bytes, executable) of each section."""
    with open(path, "rb") as f:
        image = f.read()
    if image[:2] != b"MZ":
        sys.exit(f"check-instructions: {path} is not a Windows program")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"check-instructions: {path} has no PE header")
    count, = struct.unpack_from("<H", image, pe + 6)
    optional_size, = struct.unpack_from("<H", image, pe + 20)
    image_base, = struct.unpack_from("<I", image, pe + 24 + 28)
    sections = []
    for i in range(count):
        at = pe + 24 + optional_size + 40 * i
        name = image[at:at + 8].rstrip(b"\0").decode("latin-1")
        vsize, va, raw_size, raw_at = struct.unpack_from("<IIII", image, at + 8)
        flags, = struct.unpack_from("<I", image, at + 36)
        executable = bool(flags & (0x20 | 0x20000000))  # code, or execute
        body = image[raw_at:raw_at + min(vsize, raw_size)]
        sections.append((name, image_base + va, vsize, body, executable))
    return sections


def code_end(body):
    """Offset where the linker's constructor and destructor tables start:
    each is -1, pointers, 0; the destructor table ends the section."""
    end = len(body) - len(body) % 4
    for table in ("destructor", "constructor"):
        if end < 8 or struct.unpack_from("<I", body, end - 4)[0] != 0:
            return None
        end -= 4
        while end >= 4 and struct.unpack_from("<I", body, end - 4)[0] != 0xFFFFFFFF:
            end -= 4
        if end < 4:
            return None
        end -= 4
    return end


def foreign_instructions(objdump, path):
    """OrderedDict name -> [count, first address] of what the 80386/387 lacks."""
    found = OrderedDict()

    def note(name, address):
        entry = found.setdefault(name, [0, address])
        entry[0] += 1

    for name, start, vsize, body, executable in pe_sections(path):
        if not executable:
            continue
        stop = start + len(body)
        if name == ".text":
            end = code_end(body)
            if end is None:
                sys.exit(f"check-instructions: {path}: no constructor table at the end of .text")
            stop = start + end
        listing = subprocess.run(
            [objdump, "-d", "-M", "intel", "--no-show-raw-insn", "-j", name,
             f"--start-address={start:#x}", f"--stop-address={stop:#x}", path],
            check=True, capture_output=True, text=True).stdout
        for line in listing.splitlines():
            fields = line.split("\t")
            if len(fields) < 2 or not fields[0].strip().endswith(":"):
                continue
            address = fields[0].strip()[:-1]
            words = fields[1].split()
            while len(words) > 1 and words[0] in PREFIXES:
                words = words[1:]
            if not words:
                continue
            mnemonic = words[0]
            operands = " ".join(words[1:])
            if mnemonic == "(bad)":
                note("(bad): not an instruction", address)
            elif mnemonic not in ALLOWED:
                note(mnemonic, address)
            elif mnemonic == "nop" and operands:
                note("nop with an operand (0F 1F, Pentium Pro)", address)
            elif MMX_SSE_REGISTER.search(operands):
                note(f"{mnemonic} on an MMX or SSE register", address)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    failed = False
    for path in args.programs:
        found = foreign_instructions(args.objdump, path)
        if not found:
            print(f"{path}: every instruction runs on an 80386 with a 387")
            continue
        failed = True
        total = sum(count for count, _ in found.values())
        print(f"{path}: {total} instructions the 80386/387 lacks:")
        for name, (count, first) in sorted(found.items(), key=lambda item: (-item[1][0], item[0])):
            print(f"  {name}: {count} (first at 0x{first})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
