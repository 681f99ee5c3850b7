#!/usr/bin/python3
"""Fails unless every given program imports only what Windows has.

    check-imports.py EXE...                         DLLs that Windows ships, nothing else
    check-imports.py --xp [--list FILE] EXE...      a program that ships: it loads on the
                                                    oldest Windows of its architecture

With --xp, the PE header may ask for no newer Windows than XP SP3 (x86) or XP
x64 (x64), and every import, delay-loaded ones and ordinals included, must be
on the list (scripts/xp-imports.txt unless --list names another) for the
program's architecture. An import on no list fails as well as one that the
list says that Windows lacks: a new import is a decision, made in the list.

The files are read with pefile, so what is checked does not depend on how
one release's binutils prints them. Debian's python3-pefile serves Debian's
own python3, hence the interpreter named above.
"""
import os
import sys

import pefile

from pe_checks import judge

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll",
    "msvcrt.dll", "comctl32.dll", "uxtheme.dll", "shell32.dll", "version.dll", "oleacc.dll",
}
DEFAULT_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xp-imports.txt")

# The oldest Windows of each architecture, the Windows releases (as Microsoft's
# pages name the first client and server of a function) that it includes, and
# the newest version its PE header may ask for. XP x64 is built from Server
# 2003 SP1, at about XP SP2's level.
OLDEST = {
    "x86": ("Windows XP SP3", {"NT4", "2000", "XP", "XP-SP1", "XP-SP2", "XP-SP3"}, set(), (5, 1)),
    "x64": ("Windows XP x64", {"NT4", "2000", "XP", "XP-SP1", "XP-SP2"},
            {"NT4", "2000", "2003", "2003-SP1"}, (5, 2)),
}
CLIENTS = {"NT4", "2000", "XP", "XP-SP1", "XP-SP2", "XP-SP3", "Vista", "7", "8", "8.1", "10"}
SERVERS = {"NT4", "2000", "2003", "2003-SP1", "2003-SP2", "2008", "2008-R2", "2012", "2012-R2",
           "2016"}
MACHINES = {pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: "x86",
            pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: "x64"}


class ListError(Exception):
    pass


def on_oldest(arch, client, server):
    """Whether a function first documented for client / server ("-": none given) is there."""
    _, clients, servers, _ = OLDEST[arch]
    return client in clients or server in servers


def read_list(path):
    """{(dll, function or "@ordinal"): architectures}, each entry checked against its versions."""
    entries = {}
    dll = None
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            text, _, source = line.partition("#")
            words = text.split()
            where = f"{os.path.basename(path)}:{number}"
            if not words:
                continue
            if len(words) == 1 and words[0].startswith("[") and words[0].endswith("]"):
                dll = words[0][1:-1].lower()
                continue
            if dll is None or len(words) != 4:
                raise ListError(f"{where}: expected [dll] or 'function architectures client server'")
            function, arches, client, server = words
            if arches not in ("all", "x86", "x64") or client not in CLIENTS | {"-"} \
                    or server not in SERVERS | {"-"}:
                raise ListError(f"{where}: {function}: unknown architecture or Windows version")
            if (client, server) == ("-", "-") and not source.strip():
                raise ListError(f"{where}: {function} has no documented Windows and no source "
                                f"for its place on the list")
            arches = {"x86", "x64"} if arches == "all" else {arches}
            # The versions documented must agree with the architectures claimed:
            # a function that only XP x64 has must never let an x86 program through.
            for arch in sorted(arches):
                if (client, server) != ("-", "-") and not on_oldest(arch, client, server):
                    raise ListError(f"{where}: {function} is documented from {client} / {server}, "
                                    f"which {OLDEST[arch][0]} ({arch}) is not")
            entries[(dll, function)] = arches
    return entries


def imports(pe):
    """(DLL, function name, or "@ordinal") for every import, delay-loaded ones too."""
    for directory in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for entry in getattr(pe, directory, []):
            dll = entry.dll.decode("ascii")
            for symbol in entry.imports:
                # pefile names some DLLs' ordinals from a table of its own: an
                # import by ordinal stays one, as the list must name it.
                by_ordinal = symbol.import_by_ordinal or not symbol.name
                yield dll, f"@{symbol.ordinal}" if by_ordinal else symbol.name.decode("ascii")


def read(path):
    """The PE file; PEFormatError where it is none, or one cut short."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"],
    ])
    # pefile reads what there is of a file without complaint: an import
    # table that is not there would pass every check.
    if any(s.PointerToRawData + s.SizeOfRawData > len(pe.__data__) for s in pe.sections):
        raise pefile.PEFormatError("it is cut short")
    tables = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    for name in ("IMPORT", "DELAY_IMPORT"):
        table = tables[pefile.DIRECTORY_ENTRY[f"IMAGE_DIRECTORY_ENTRY_{name}"]]
        if table.VirtualAddress and not hasattr(pe, f"DIRECTORY_ENTRY_{name}"):
            raise pefile.PEFormatError(f"its {name.lower().replace('_', '-')} table cannot be read")
    return pe


def problems(path, allowed):
    pe = read(path)
    found = list(imports(pe))
    dlls = sorted({dll.lower() for dll, _ in found})
    print(f"{os.path.basename(path)}: {' '.join(dlls)}", flush=True)
    if allowed is None:
        yield from (f"not a system DLL: {dll}" for dll in dlls if dll not in SYSTEM_DLLS)
        return
    arch = MACHINES.get(pe.FILE_HEADER.Machine)
    if arch is None:
        yield f"is built for no architecture Tintwell ships (machine {pe.FILE_HEADER.Machine:#x})"
        return
    name, _, _, newest = OLDEST[arch]
    header = pe.OPTIONAL_HEADER
    for field in ("OperatingSystem", "Subsystem"):
        version = (getattr(header, f"Major{field}Version"), getattr(header, f"Minor{field}Version"))
        if version > newest:
            yield f"its header asks for Windows {version[0]}.{version[1]} ({field}), newer than {name}"
    for dll, function in found:
        arches = allowed.get((dll.lower(), function))
        if arches is None:
            yield f"imports {function} from {dll}, which is on no list of what {name} has"
        elif arch not in arches:
            yield f"imports {function} from {dll}, which {name} ({arch}) lacks"


def main(arguments):
    allowed = None
    list_path = DEFAULT_LIST
    if arguments[:1] == ["--xp"]:
        arguments = arguments[1:]
        if arguments[:1] == ["--list"] and len(arguments) > 1:
            list_path, arguments = arguments[1], arguments[2:]
        try:
            allowed = read_list(list_path)
        except (OSError, ListError) as error:
            print(f"error: the list of imports: {error}", file=sys.stderr)
            return 1
    if not arguments:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    return judge(arguments, lambda path: problems(path, allowed))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
