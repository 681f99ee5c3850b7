#!/usr/bin/python3
"""Fails unless every given program runs on the oldest processor it is for.

    check-cpu.py EXE...

An x86 program must run on a P6-class processor (Pentium Pro, Pentium II,
Athlon and later), which is what Debian's i686 toolchain and its runtime
objects compile for: cmov, fcomi and fcmov are allowed, MMX, SSE and AVX are
not (XP SP3 also runs on a Pentium MMX, K6 or C3, which lack the first, and
many lack all of it). An x64 program may use SSE2, which every x64 processor
has, but no AVX. Every executable section is read with capstone and each
program's first offending instruction is named with its address. The
exception tables that GNU ld puts after the last function of .text are
data, and not read: x86's unwind records (.eh_frame) say where they begin.

Debian's python3-capstone serves Debian's own python3, hence the interpreter
named above.
"""
import os
import sys

import capstone
import pefile
from capstone import x86

from pe_checks import judge

MMX = {x86.X86_GRP_MMX, x86.X86_GRP_3DNOW}
SSE = {x86.X86_GRP_SSE1, x86.X86_GRP_SSE2, x86.X86_GRP_SSE3, x86.X86_GRP_SSSE3, x86.X86_GRP_SSE41,
       x86.X86_GRP_SSE42, x86.X86_GRP_SSE4A, x86.X86_GRP_AES, x86.X86_GRP_PCLMUL, x86.X86_GRP_SHA}
AVX = {x86.X86_GRP_AVX, x86.X86_GRP_AVX2, x86.X86_GRP_AVX512, x86.X86_GRP_FMA, x86.X86_GRP_FMA4,
       x86.X86_GRP_F16C, x86.X86_GRP_XOP}
# What each architecture's oldest processor lacks, by the instruction's groups
# and by the registers it names (mm0, xmm0, ymm0, zmm0).
FORBIDDEN = {
    "x86": (("MMX", MMX, ("mm",)), ("SSE", SSE, ("xmm",)), ("AVX", AVX, ("ymm", "zmm"))),
    "x64": (("AVX", AVX, ("ymm", "zmm")),),
}
MACHINES = {pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: ("x86", capstone.CS_MODE_32),
            pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: ("x64", capstone.CS_MODE_64)}
P6 = ("cmov", "fcomi", "fucomi", "fcmov")
# Encoded as rep nop: a processor without SSE2 runs it as a no-op.
HARMLESS = {"pause"}


def extension(instruction, arch):
    """The extension named in FORBIDDEN that the instruction needs, or None."""
    if instruction.mnemonic in HARMLESS:
        return None
    groups = set(instruction.groups)
    registers = [instruction.reg_name(operand.reg) for operand in instruction.operands
                 if operand.type == x86.X86_OP_REG]
    for name, needed, prefixes in FORBIDDEN[arch]:
        if groups & needed or any(r.startswith(prefixes) for r in registers if r):
            return name
    return None


def leb128(data, at, signed=False):
    """The LEB128 number at data[at], and where it ends."""
    value = shift = 0
    while True:
        byte = data[at]
        at += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if not byte & 0x80:
            break
    if signed and byte & 0x40:
        value -= 1 << shift
    return value, at


def encoded(data, at, encoding, address):
    """The pointer at data[at] in DWARF's encoding (address: where data
    begins in the image), and where it ends."""
    form = encoding & 0x0F
    if form in (0x01, 0x09):
        value, end = leb128(data, at, signed=form == 0x09)
    else:
        size = {0x00: 4, 0x02: 2, 0x03: 4, 0x04: 8, 0x0A: 2, 0x0B: 4, 0x0C: 8}[form]
        value = int.from_bytes(data[at:at + size], "little", signed=form >= 0x0A)
        end = at + size
    if encoding & 0x70 == 0x10:  # relative to where it is
        value += address + at
    return value, end


def exception_tables(pe):
    """Where the exception tables begin that GNU ld puts after the last
    function of .text: the lowest table that an unwind record of .eh_frame
    points to (x86's DWARF unwinding). None without such records."""
    frame = next((s for s in pe.sections if s.Name.rstrip(b"\0") in (b".eh_fram", b".eh_frame")),
                 None)
    if frame is None:
        return None
    data = frame.get_data()[:frame.Misc_VirtualSize]
    address = pe.OPTIONAL_HEADER.ImageBase + frame.VirtualAddress
    entries = {}  # each common entry by its offset: its pointer encodings
    lowest = None
    at = 0
    while at + 8 <= len(data) and (length := int.from_bytes(data[at:at + 4], "little")):
        start, end = at + 4, at + 4 + length
        pointer = int.from_bytes(data[start:start + 4], "little")
        if pointer == 0:  # a common entry: version, augmentation, alignments, register
            version = data[start + 4]
            text_end = data.index(b"\0", start + 5)
            augmentation = data[start + 5:text_end].decode("ascii")
            at = leb128(data, leb128(data, text_end + 1)[1], signed=True)[1]
            at = at + 1 if version == 1 else leb128(data, at)[1]
            encodings = {"R": 0x00, "L": None}
            if augmentation.startswith("z"):
                at = leb128(data, at)[1]
                for letter in augmentation[1:]:
                    if letter == "P":
                        at = encoded(data, at + 1, data[at], address)[1]
                    elif letter in "LR":
                        encodings[letter] = data[at]
                        at += 1
            entries[start - 4] = encodings
        elif (encodings := entries.get(start - pointer)) and encodings["L"] not in (None, 0xFF):
            at = encoded(data, start + 4, encodings["R"], address)[1]
            at = encoded(data, at, encodings["R"] & 0x0F, address)[1]
            table, _ = encoded(data, leb128(data, at)[1], encodings["L"], address)
            if table:
                lowest = table if lowest is None else min(lowest, table)
        at = end
    return lowest


def check(path):
    """Problems with the program at path (empty: none), after one line of what was found."""
    pe = pefile.PE(path, fast_load=True)
    found = MACHINES.get(pe.FILE_HEADER.Machine)
    if found is None:
        return [f"is built for no architecture Tintwell ships (machine {pe.FILE_HEADER.Machine:#x})"]
    arch, mode = found
    disassembler = capstone.Cs(capstone.CS_ARCH_X86, mode)
    disassembler.detail = True
    disassembler.skipdata = True
    counted = 0
    p6 = 0
    problems = []
    base = pe.OPTIONAL_HEADER.ImageBase
    tables = exception_tables(pe)
    for section in pe.sections:
        if not section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]:
            continue
        name = section.Name.rstrip(b"\0").decode("ascii", "replace")
        code = section.get_data()[:section.Misc_VirtualSize]
        start = base + section.VirtualAddress
        if tables is not None and start <= tables < start + len(code):
            code = code[:tables - start]
        for instruction in disassembler.disasm(code, start):
            if instruction.id == 0:  # bytes skipped as data
                continue
            counted += 1
            p6 += instruction.mnemonic.startswith(P6)
            needs = extension(instruction, arch)
            if needs and not problems:
                problems.append(f"uses {needs} ({instruction.mnemonic} {instruction.op_str}) at "
                                f"{instruction.address:#x} in {name}, which the oldest {arch} "
                                f"processor it is for lacks")
    allowed = "SSE2" if arch == "x64" else "P6 instructions"
    print(f"{os.path.basename(path)} ({arch}): {counted} instructions, {p6} of them "
          f"cmov, fcomi or fcmov; {'none' if not problems else 'some'} beyond {allowed}",
          flush=True)
    return problems


def main(arguments):
    if not arguments:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    return judge(arguments, check)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
