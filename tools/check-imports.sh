#!/bin/bash
# Checks the functions that Windows programs import against
# tools/package/windows-xp-functions.txt, the functions that every Windows
# Startwacht runs on exports, down to XP SP3:
#   tools/check-imports.sh [--startup | --late] PROGRAM.exe...
# --startup: the functions imported when the program starts (its import
# directory, read with the MinGW-w64 objdump of its own architecture);
# --late: those it imports late, at their first call, from the libraries it
# loads from the system directory (tools/late-imports.py reads them); both
# without an option. Prints each import that is not in the list and exits
# with 1 if there is one; else prints one line per program and kind and
# exits with 0. A 32-bit program's load configuration directory, where it
# has one, must also give the size that Windows XP's loader expects there
# (64 bytes; checked with the start-up imports).

set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/tools/package/windows-xp-functions.txt"
kinds=(startup late)
case ${1:-} in
    --startup) kinds=(startup); shift ;;
    --late) kinds=(late); shift ;;
esac
(($#)) || { echo "Aufruf: $0 [--startup | --late] PROGRAMM.exe..." >&2; exit 2; }

# The architecture of a Windows program, from its PE header: i686 or x86_64.
exe_arch() {
    local offset machine
    offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [[ -n $offset ]] || return 1
    machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
    case $machine in
        014c) echo i686 ;;
        8664) echo x86_64 ;;
        *) return 1 ;;
    esac
}

status=0
for exe in "$@"; do
    [[ -f $exe ]] || { echo "$exe fehlt." >&2; status=1; continue; }
    arch=$(exe_arch "$exe") || { echo "$exe ist kein Windows-Programm für i686 oder x86_64." >&2; status=1; continue; }
    # The list's entries for this architecture: those without one, and those
    # marked with it.
    allowed=$(awk -v arch="$arch" '!/^#/ && NF >= 2 && (NF == 2 || $3 == arch) { print tolower($1), $2 }' "$list")
    for kind in "${kinds[@]}"; do
        if [[ $kind == startup ]]; then
            # "library function" per import, the library in lower case; an
            # import by ordinal has no name and shows as "<none>" (never in
            # the list).
            imports=$("$arch-w64-mingw32-objdump" -p "$exe" | awk '
                /^The Import Tables/ { inside = 1; next }
                inside && /^(The |There |PE File)/ { inside = 0 }
                inside && /DLL Name:/ { library = tolower($3); next }
                inside && library != "" && /^\t[0-9a-f]+\t/ { print library, $NF }')
            if [[ -z $imports ]]; then
                echo "$exe: keine Importe gefunden (objdump -p)." >&2
                status=1
                continue
            fi
            when="beim Start"
        else
            imports=$(python3 "$root/tools/late-imports.py" "$exe") || { status=1; continue; }
            when="spät (beim ersten Aufruf)"
        fi
        foreign=$(grep -vxF -f <(printf '%s\n' "$allowed") <<<"$imports" || true)
        count=$(wc -l <<<"$imports")
        if [[ -n $foreign ]]; then
            echo "$exe ($arch) importiert $when, was Windows XP SP3 nicht hat (oder was in $list fehlt):" >&2
            sed 's/^/  /' <<<"$foreign" >&2
            status=1
        else
            echo "$exe ($arch): $count Importe $when, alle in Windows XP SP3."
        fi
    done
    if [[ $arch == i686 && " ${kinds[*]} " == *" startup "* ]]; then
        load_config=$("$arch-w64-mingw32-objdump" -p "$exe" | awk '/^Entry a .*Load Configuration Directory/ { print $4 }')
        if [[ -n $load_config && $load_config != 00000000 && $load_config != 00000040 ]]; then
            echo "$exe ($arch): das Verzeichnis der Ladekonfiguration gibt 0x$load_config Bytes an; Windows XP erwartet dort 64 (0x40)." >&2
            status=1
        fi
    fi
done
exit $status
