#!/bin/bash
# Builds the package for Windows users from the 32-bit build:
#   build/package/Startwacht-<version>.zip        Startwacht.exe and LIESMICH.txt
#   build/package/Startwacht-<version>-Setup.exe  the installer (NSIS)
# LIESMICH.txt is made from tools/package/LIESMICH.txt (UTF-8, LF) in code
# page 1252 with CR LF, as Windows' editor expects it. Installs zip and nsis
# when they are missing (the test command needs neither).
#   tools/package.sh --check   also installs the package silently in a
#   throwaway Wine session, checks files, start menu and Run value, and
#   removes it again with the uninstaller.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
[[ "${1:-}" == "--check" ]] && check=1
"$root/tools/setup-debian.sh" zip nsis
"$root/tools/build.sh" i686

version=$(sed -n 's/^project(Startwacht VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n "$version" ]] || { echo "Die Version steht nicht in CMakeLists.txt (project(... VERSION ...))." >&2; exit 1; }

exe="$root/build/i686/app/Startwacht.exe"
if [[ ! -f "$exe" ]]; then
    echo "Startwacht.exe fehlt: $exe wurde nicht gebaut; ohne das Programm gibt es kein Paket." >&2
    exit 1
fi

out="$root/build/package"
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$exe" "$stage/Startwacht.exe"
# UTF-8 to code page 1252 (fails on a character outside it), LF to CR LF.
iconv -f UTF-8 -t CP1252 "$root/tools/package/LIESMICH.txt" | sed 's/\r$//; s/$/\r/' >"$stage/LIESMICH.txt"

# The files carry the time of the last commit, so the same sources give the
# same zip.
if stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null) && [[ -n "$stamp" ]]; then
    touch -d "@$stamp" "$stage/Startwacht.exe" "$stage/LIESMICH.txt"
fi

zipfile="$out/Startwacht-$version.zip"
rm -f "$zipfile"
(cd "$stage" && TZ=UTC zip -X -q "$zipfile" Startwacht.exe LIESMICH.txt)

setup="$out/Startwacht-$version-Setup.exe"
rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
    -DICON="$root/resources/art/Startwacht.ico" -DOUTFILE="$setup" "$root/tools/package/Startwacht.nsi"

echo "Paket:        $zipfile"
unzip -l "$zipfile" | sed -n '4,5p'
echo "Installation: $setup"

((check)) || exit 0

# ---- The check: silent installation with autostart, then silent removal.
unset DISPLAY
source "$root/tools/wine-session.sh"
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$out/check-session" "$root/build/i686/tools/WineKeeper.exe" --throwaway
folder="$WINEPREFIX/drive_c/Program Files (x86)/Startwacht"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Startwacht"
run_value() {
    wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Startwacht 2>/dev/null |
        tr -d '\r' | sed -n 's/^ *Startwacht *REG_SZ *//p'
}
fail() { echo "Prüfung fehlgeschlagen: $*" >&2; exit 1; }

wine "$setup" /S /AUTOSTART || fail "das Installationsprogramm endete mit einem Fehler"
cmp -s "$folder/Startwacht.exe" "$stage/Startwacht.exe" || fail "Startwacht.exe fehlt im Programmordner"
cmp -s "$folder/LIESMICH.txt" "$stage/LIESMICH.txt" || fail "LIESMICH.txt fehlt im Programmordner"
[[ -f "$folder/Deinstallieren.exe" ]] || fail "das Deinstallationsprogramm fehlt"
[[ -f "$menu/Startwacht.lnk" ]] || fail "der Startmenü-Eintrag fehlt"
value=$(run_value)
[[ "$value" == '"C:\Program Files (x86)\Startwacht\Startwacht.exe"' ]] ||
    fail "der Run-Wert ist '$value'"

wine "$folder/Deinstallieren.exe" /S || fail "das Deinstallationsprogramm endete mit einem Fehler"
# The uninstaller works on from a copy of itself.
for ((i = 0; i < 100; i++)); do
    [[ -e "$folder" || -e "$menu" ]] || break
    sleep 0.2
done
[[ ! -e "$folder" ]] || fail "der Programmordner ist noch da"
[[ ! -e "$menu" ]] || fail "der Startmenü-Ordner ist noch da"
[[ -z "$(run_value)" ]] || fail "der Run-Wert ist noch da"

wine "$setup" /S || fail "das Installationsprogramm endete mit einem Fehler"
[[ -f "$folder/Startwacht.exe" ]] || fail "Startwacht.exe fehlt nach der Installation ohne Autostart"
[[ -z "$(run_value)" ]] || fail "ohne /AUTOSTART wurde ein Run-Wert geschrieben"
echo "Prüfung bestanden: Installation, Startmenü, Autostart und Deinstallation unter Wine."
