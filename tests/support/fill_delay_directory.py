#!/usr/bin/python3
"""Points a program's delay-import directory at its delay-import descriptor.

    fill_delay_directory.py EXE MAP

GNU ld (2.40) links dlltool's delay-import libraries but leaves the PE
header's delay-import directory empty, so no PE reader finds those imports;
Microsoft's linker and LLVM's fill it. The import check must refuse what such
a program delay-loads: the test's program is given the directory they would
write, from the descriptor's address in the linker's map.
"""
import re
import sys

import pefile

DESCRIPTOR_SIZE = 32  # ImgDelayDescr: eight 32-bit fields


def main(exe, map_path):
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        found = [int(m.group(1), 16) for m in
                 (re.search(r"^\s+0x([0-9a-f]+)\s+_+DELAY_IMPORT_DESCRIPTOR_", line) for line in lines)
                 if m]
    if len(found) != 1:
        print(f"error: {map_path} names {len(found)} delay-import descriptors, not one", file=sys.stderr)
        return 1
    pe = pefile.PE(exe)
    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"]]
    entry.VirtualAddress = found[0] - pe.OPTIONAL_HEADER.ImageBase
    entry.Size = 2 * DESCRIPTOR_SIZE  # the descriptor and the empty one that ends the table
    data = pe.write()
    pe.close()
    with open(exe, "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
