#!/bin/bash
# Both Windows programs are 32-bit GUI programs importing only system libraries (DirectSound and
# the ATL browser host are loaded at run time); varnok can start programs, zembra cannot.
# usage: imports_test.sh OBJDUMP VARNOK_EXE ZEMBRA_EXE
set -u
objdump=$1 varnok=$2 zembra=$3
. "$(dirname "$0")/../check.sh"
has() { grep -q -x -E "$2" <<<"$1"; }
lacks() { ! has "$@"; }
only() { ! grep -q -v -x -E "$2" <<<"$1"; }
system_dlls='KERNEL32|USER32|GDI32|COMCTL32|WINMM|OLE32|OLEAUT32|SHELL32|ADVAPI32|MSVCRT'
launching='CreateProcessA|CreatePipe|DuplicateHandle|GetCurrentProcess|GetStdHandle|WaitForSingleObject|ShellExecuteExA'

for exe in "$varnok" "$zembra"; do
    name=$(basename "$exe")
    headers=$("$objdump" -f -p "$exe")
    dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr '[:lower:]' '[:upper:]' | sed 's/\.DLL$//')
    # The functions imported by name.
    functions=$(awk '/DLL Name:/{on=1; next} on && NF == 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$headers")
    check "$name is a 32-bit PE file" grep -q 'file format pei-i386' <<<"$headers"
    check "$name runs in the graphical subsystem" grep -q -E '^Subsystem.*Windows GUI' <<<"$headers"
    check "$name imports only system libraries" only "$dlls" "$system_dlls"
    check "$name loads DirectSound and ATL at run time" lacks "$dlls" 'DSOUND|ATL'
    check "$name imports functions" test -n "$functions"
    if [ "$exe" = "$varnok" ]; then
        check "$name imports CreateProcessA and ShellExecuteExA" \
            test "$(grep -x -E 'CreateProcessA|ShellExecuteExA' <<<"$functions" | sort -u | wc -l)" = 2
    else
        check "$name imports no way of starting or waiting for a process" lacks "$functions" "$launching"
    fi
done
checks_done imports
