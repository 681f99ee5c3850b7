#!/usr/bin/python3
"""Fails unless every given executable imports only DLLs that Windows ships.

With --xp, each executable must also load on Windows XP SP3 (x86) or XP x64:
its PE header may ask for no newer Windows, and it may import no function
that those systems lack.

    check-imports.py [--xp] EXE...

The files are read with pefile, so what is checked does not depend on how
one release's binutils prints them. Debian's python3-pefile serves Debian's
own python3, hence the interpreter named above.
"""
import os
import sys

import pefile

ALLOWED = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll",
    "msvcrt.dll", "comctl32.dll", "uxtheme.dll", "shell32.dll", "version.dll", "oleacc.dll",
}

# Functions that static C and C++ runtimes (and careless code) are known to
# pull in, with the first Windows that has them by Microsoft's documentation.
NEWER_THAN_XP = {
    # Windows Vista: fiber-local storage, slim reader/writer locks, condition
    # variables, one-time initialisation, and the rest of the Vista kernel.
    "FlsAlloc", "FlsFree", "FlsGetValue", "FlsSetValue",
    "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
    "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive",
    "InitializeConditionVariable", "SleepConditionVariableCS", "SleepConditionVariableSRW",
    "WakeConditionVariable", "WakeAllConditionVariable",
    "InitOnceInitialize", "InitOnceExecuteOnce", "InitOnceBeginInitialize", "InitOnceComplete",
    "GetTickCount64", "InitializeCriticalSectionEx", "GetCurrentProcessorNumber",
    "CreateEventExW", "CreateMutexExW", "CreateSemaphoreExW", "GetErrorMode", "CancelIoEx",
    "GetFileInformationByHandleEx", "GetFinalPathNameByHandleW", "CompareStringOrdinal",
    # Windows Vista: the locale-name ("*Ex") functions.
    "GetLocaleInfoEx", "LCMapStringEx", "CompareStringEx", "GetUserDefaultLocaleName",
    "LocaleNameToLCID", "LCIDToLocaleName", "IsValidLocaleName", "GetDateFormatEx",
    "GetTimeFormatEx",
    # Windows Vista and later: registry helpers and DPI awareness.
    "RegDeleteTreeW", "RegDeleteTreeA", "RegSetKeyValueW", "RegGetValueW", "SetProcessDPIAware",
    # Windows 8 and 10: precise time, waits on addresses, per-monitor DPI.
    "GetSystemTimePreciseAsFileTime", "WaitOnAddress", "WakeByAddressSingle",
    "WakeByAddressAll", "GetDpiForWindow", "GetDpiForSystem", "AdjustWindowRectExForDpi",
    "SetThreadDpiAwarenessContext", "SetProcessDpiAwarenessContext",
}

# The newest Windows that each kind of PE file may ask for: XP SP3 (5.1) for
# a 32-bit one, XP x64 (5.2) for PE32+.
OLDEST = {pefile.OPTIONAL_HEADER_MAGIC_PE: (5, 1), pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS: (5, 2)}


def imports(pe):
    """(DLL, function name or None for an ordinal) for every import, delay-loaded ones too."""
    for directory in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for entry in getattr(pe, directory, []):
            dll = entry.dll.decode("ascii")
            for symbol in entry.imports:
                yield dll, symbol.name.decode("ascii") if symbol.name else None


def header_problems(pe):
    header = pe.OPTIONAL_HEADER
    oldest = OLDEST.get(header.Magic)
    if oldest is None:
        yield f"its header is of no known kind (magic {header.Magic:#x})"
        return
    for field in ("OperatingSystem", "Subsystem"):
        version = (getattr(header, f"Major{field}Version"), getattr(header, f"Minor{field}Version"))
        if version > oldest:
            asked = f"{version[0]}.{version[1]}"
            yield f"its header asks for Windows {asked} ({field} version), newer than XP"


def problems(path, xp):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"],
    ])
    found = list(imports(pe))
    dlls = sorted({dll.lower() for dll, _ in found})
    print(f"{os.path.basename(path)}: {' '.join(dlls)}", flush=True)
    for dll in dlls:
        if dll not in ALLOWED:
            yield f"not a system DLL: {dll}"
    if not xp:
        return
    yield from header_problems(pe)
    for dll, function in found:
        # XP's msvcrt.dll has none of the bounds-checked "_s" functions.
        if function in NEWER_THAN_XP or (
                dll.lower() == "msvcrt.dll" and function and function.endswith("_s")):
            yield f"imports {function} from {dll}, which is newer than Windows XP"


def main(arguments):
    xp = arguments[:1] == ["--xp"]
    paths = arguments[1:] if xp else arguments
    if not paths:
        print("usage: check-imports.py [--xp] EXE...", file=sys.stderr)
        return 2
    failed = False
    for path in paths:
        try:
            found = list(problems(path, xp))
        except (OSError, pefile.PEFormatError) as error:
            found = [f"cannot be read as a PE file: {error}"]
            print(f"{os.path.basename(path)}:")
        for problem in found:
            print(f"  {problem}", file=sys.stderr)
        failed = failed or bool(found)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
