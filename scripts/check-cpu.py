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
exception tables that the linker puts at the end of the code are not read.

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


def code_end(code, image, width):
    """Where the code of a section ends: GNU ld's PE script puts the
    constructor and destructor lists (-1, pointers into the image, 0; twice)
    after the last function, and the exception tables that follow them are
    data. The whole section where it has no such lists."""
    words = [int.from_bytes(code[i:i + width], "little") for i in range(0, len(code) - width + 1, width)]
    last = (1 << (8 * width)) - 1
    for start, word in enumerate(words):
        if word != last:
            continue
        at = start
        for _ in range(2):
            if at >= len(words) or words[at] != last:
                break
            at += 1
            while at < len(words) and words[at] in image:
                at += 1
            if at >= len(words) or words[at] != 0:
                break
            at += 1
        else:
            return start * width
    return len(code)


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
    image = range(base, base + pe.OPTIONAL_HEADER.SizeOfImage)
    for section in pe.sections:
        if not section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]:
            continue
        name = section.Name.rstrip(b"\0").decode("ascii", "replace")
        code = section.get_data()[:section.Misc_VirtualSize]
        code = code[:code_end(code, image, 8 if arch == "x64" else 4)]
        for instruction in disassembler.disasm(code, base + section.VirtualAddress):
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
