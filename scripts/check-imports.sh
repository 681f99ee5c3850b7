#!/usr/bin/env bash
# Fails unless every given executable imports only DLLs that Windows ships.
# With --xp, each executable must also load on Windows XP SP3 (x86) or XP x64:
# its PE header may ask for no newer Windows, and it may import no function
# that those systems lack.
#   check-imports.sh OBJDUMP [--xp] EXE...
set -euo pipefail
objdump=$1
shift
xp=false
if [ "${1:-}" = --xp ]; then
  xp=true
  shift
fi
allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|msvcrt|comctl32|uxtheme|shell32|version)\.dll$'

# Functions that static C and C++ runtimes (and careless code) are known to
# pull in, with the first Windows that has them by Microsoft's documentation.
newer_than_xp=(
  # Windows Vista: fiber-local storage, slim reader/writer locks, condition
  # variables, one-time initialisation, and the rest of the Vista kernel.
  FlsAlloc FlsFree FlsGetValue FlsSetValue
  InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
  ReleaseSRWLockExclusive ReleaseSRWLockShared
  InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
  WakeConditionVariable WakeAllConditionVariable
  InitOnceInitialize InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete
  GetTickCount64 InitializeCriticalSectionEx GetCurrentProcessorNumber
  CreateEventExW CreateMutexExW CreateSemaphoreExW GetErrorMode CancelIoEx
  GetFileInformationByHandleEx GetFinalPathNameByHandleW CompareStringOrdinal
  # Windows Vista: the locale-name ("*Ex") functions.
  GetLocaleInfoEx LCMapStringEx CompareStringEx GetUserDefaultLocaleName
  LocaleNameToLCID LCIDToLocaleName IsValidLocaleName GetDateFormatEx GetTimeFormatEx
  # Windows Vista and later: registry helpers and DPI awareness.
  RegDeleteTreeW RegDeleteTreeA RegSetKeyValueW RegGetValueW SetProcessDPIAware
  # Windows 8 and 10: precise time and per-monitor DPI.
  GetSystemTimePreciseAsFileTime GetDpiForWindow GetDpiForSystem
  AdjustWindowRectExForDpi SetThreadDpiAwarenessContext SetProcessDpiAwarenessContext
)

# The imports of an executable, one "DLL function" a line.
imports() {
  "$objdump" -p "$1" | awk '/DLL Name:/ {dll = $3; next}
    dll && /^\t[0-9a-f]+\t *[0-9]+ +[^ ]+$/ {print dll, $NF}'
}

# Fails when the header asks for a newer Windows than XP of its architecture.
check_header() {
  local header magic limit field value
  header=$("$objdump" -p "$1")
  magic=$(awk '$1 == "Magic" {print $2}' <<<"$header")
  limit=501
  [ "$magic" = 020b ] && limit=502  # PE32+: XP x64 is 5.2
  for field in OSystem Subsystem; do
    value=$(sed -n "s/^Major${field}Version\s*//p;s/^Minor${field}Version\s*/./p" <<<"$header" | tr -d '\n')
    if [ $(( ${value%.*} * 100 + ${value#*.} )) -gt $limit ]; then
      echo "  its header asks for Windows $value (${field} version), newer than XP" >&2
      return 1
    fi
  done
}

status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  echo "$(basename "$exe"): $(echo $dlls)"
  while read -r dll; do
    if ! [[ $dll =~ $allowed ]]; then
      echo "  not a system DLL: $dll" >&2
      status=1
    fi
  done <<<"$dlls"
  if $xp; then
    check_header "$exe" || status=1
    while read -r dll function; do
      for newer in "${newer_than_xp[@]}"; do
        if [ "$function" = "$newer" ]; then
          echo "  imports $function from $dll, which is newer than Windows XP" >&2
          status=1
        fi
      done
      # XP's msvcrt.dll has none of the bounds-checked "_s" functions.
      if [[ ${dll,,} = msvcrt.dll && $function == *_s ]]; then
        echo "  imports $function from $dll, which is newer than Windows XP" >&2
        status=1
      fi
    done < <(imports "$exe")
  fi
done
exit $status
