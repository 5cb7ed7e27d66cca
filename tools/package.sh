#!/bin/bash
# Builds the package for Windows users from the 32-bit build:
#   build/package/Startwacht-<version>.zip        Startwacht.exe and LIESMICH.txt
#   build/package/Startwacht-<version>-Setup.exe  the installer (NSIS)
# The version is the one that Startwacht.exe carries (its version resource),
# which must be the one in CMakeLists.txt. The program is packaged only when
# it imports nothing that Windows XP SP3 lacks, neither at its start nor late
# (tools/check-imports.sh). LIESMICH.txt is made from
# tools/package/LIESMICH.txt (UTF-8, LF) in code page 1252 with CR LF, as
# Windows' editor expects it. Installs zip and nsis when they are missing
# (the test command needs neither).
#
#   tools/package.sh --check   also checks the imports of the 64-bit program
#   and that the installer asks for no elevation, and then tries the
#   installer in a throwaway Wine session: a silent installation for the user
#   with autostart, an update over the running program of a previous build,
#   the uninstaller, installations without autostart and with autostart
#   already on, and an uninstallation beside another copy's autostart (the
#   steps below say what each must show). The installer and the program
#   are the shipped 32-bit ones: where Linux runs no 32-bit programs they
#   run in the 32-bit Wine under qemu's emulation (one line says so), and
#   where that can't be had the check fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
[[ "${1:-}" == "--check" ]] && check=1
"$root/tools/setup-debian.sh" zip nsis
source "$root/tools/wine-session.sh"
"$root/tools/build.sh" --target Startwacht --target WineKeeper i686 x86_64

exe="$root/build/i686/app/Startwacht.exe"
if [[ ! -f "$exe" ]]; then
    echo "Startwacht.exe fehlt: $exe wurde nicht gebaut; ohne das Programm gibt es kein Paket." >&2
    exit 1
fi

# The version in the program's fixed version information: the file version's
# four numbers, shown as "major.minor" with the third and fourth only when
# they are not 0.
exe_version() {
    local at ms ls
    at=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE' "$1" | head -n1 | cut -d: -f1)
    [[ -n $at ]] || return 1
    read -r ms ls < <(od -An -t u4 -j $((at + 8)) -N 8 "$1")
    local v=($((ms >> 16)) $((ms & 0xFFFF)) $((ls >> 16)) $((ls & 0xFFFF)))
    file_version="${v[0]}.${v[1]}.${v[2]}.${v[3]}"
    if ((v[3])); then
        version="${v[0]}.${v[1]}.${v[2]}.${v[3]}"
    elif ((v[2])); then
        version="${v[0]}.${v[1]}.${v[2]}"
    else
        version="${v[0]}.${v[1]}"
    fi
}
exe_version "$exe" || { echo "$exe trägt keine Versionsangabe." >&2; exit 1; }
project_version=$(sed -n 's/^project(Startwacht VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [[ "$version" != "$project_version" ]]; then
    echo "Startwacht.exe trägt die Version $version, CMakeLists.txt nennt $project_version: beide müssen gleich sein." >&2
    exit 1
fi

"$root/tools/check-imports.sh" "$exe"

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

# makensis <setup> <stage> <version> <file version> [options]
make_installer() {
    local setup=$1 from=$2 v=$3 fv=$4
    shift 4
    rm -f "$setup"
    makensis -V2 -WX -INPUTCHARSET UTF8 "$@" -DVERSION="$v" -DFILEVERSION="$fv" -DSTAGE="$from" \
        -DICON="$root/resources/art/Startwacht.ico" -DOUTFILE="$setup" "$root/tools/package/Startwacht.nsi"
}
setup="$out/Startwacht-$version-Setup.exe"
make_installer "$setup" "$stage" "$version" "$file_version"

echo "Paket:        $zipfile"
unzip -l "$zipfile" | sed -n '4,5p'
echo "Installation: $setup"

((check)) || exit 0

# ---- The checks that read files only.
"$root/tools/check-imports.sh" "$root/build/x86_64/app/Startwacht.exe"
# The installer's manifest: it runs with the rights of whoever starts it.
if ! grep -aq 'requestedExecutionLevel level="asInvoker"' "$setup"; then
    echo "Prüfung fehlgeschlagen: das Installationsprogramm verlangt Administratorrechte (sein Manifest)." >&2
    exit 1
fi
echo "Das Installationsprogramm verlangt keine Administratorrechte."

# ---- The installer under Wine.
work="$out/check"
rm -rf "$work"
mkdir -p "$work"
# The installer and the program it installs are 32-bit programs: where Linux
# runs no 32-bit programs they run under qemu's emulation.
case $(wine_32bit_mode) in
    emulated) wine_emulation_note "Installationsprogramm und Startwacht" ;;
    none) wine_no_32bit_note "das Installationsprogramm kann nicht geprüft werden" >&2; exit 1 ;;
esac
# The previous build: the same program with a few bytes appended (Windows
# ignores them), so its file differs from the new one, and another version.
previous_stage="$work/previous"
mkdir -p "$previous_stage"
cp "$stage/Startwacht.exe" "$stage/LIESMICH.txt" "$previous_stage/"
printf 'vorherige Fassung\n' >>"$previous_stage/Startwacht.exe"
previous_version="$version-vorher"
previous_setup="$work/Startwacht-$previous_version-Setup.exe"
make_installer "$previous_setup" "$previous_stage" "$previous_version" "0.0.0.1"

unset DISPLAY
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$work/session" "$root/build/i686/tools/WineKeeper.exe" --throwaway
log="$work/wine.log"

fail() {
    echo "Prüfung fehlgeschlagen: $*" >&2
    exit 1
}
# Waits up to $2 tenths of a second (default 30 s) for a command to succeed.
wait_until() {
    local i
    for ((i = 0; i < ${2:-300}; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
# A registry value's text ("reg query" output), empty when it is missing.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null </dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
reg_key_exists() { wine reg query "$1" </dev/null >/dev/null 2>&1; }
unix_path() { winepath -u "$1" 2>/dev/null </dev/null | tr -d '\r'; }
windows_variable() { wine cmd /c echo "%$1%" 2>/dev/null </dev/null | tr -d '\r'; }
# The process ids of the Startwacht.exe processes of this session's prefix.
startwacht_pids() {
    local pid
    for pid in $(grep -lsxF "WINEPREFIX=$WINEPREFIX" --null-data /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
        {
            [[ $(cat "/proc/$pid/comm") == Startwacht.exe ]] ||
                tr '\0' '\n' <"/proc/$pid/cmdline" | head -n1 | grep -qiE '(^|[\\/])Startwacht\.exe$'
        } 2>/dev/null && echo "$pid"
    done
    return 0
}
running() { startwacht_pids | wc -l; }
run_setup() { wine "$@" </dev/null >>"$log" 2>&1; }

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Startwacht'
main_key='HKCU\Software\Microsoft\Internet Explorer\Main'
local_app_data=$(windows_variable LOCALAPPDATA)
app_data=$(windows_variable APPDATA)
[[ -n $local_app_data && -n $app_data ]] || fail "LOCALAPPDATA oder APPDATA ist in der Wine-Sitzung nicht gesetzt"
folder_windows="$local_app_data\\Programs\\Startwacht"
folder=$(unix_path "$folder_windows")
menu=$(unix_path "$app_data\\Microsoft\\Windows\\Start Menu\\Programs\\Startwacht")
[[ -n $folder && -n $menu ]] || fail "die Ordner des Benutzers lassen sich nicht auflösen"
# Where the 32-bit program keeps its two files, as its system directory is
# seen from Linux, and the 64-bit one's, where nothing may land.
files="$WINEPREFIX/drive_c/windows/syswow64"
other_files="$WINEPREFIX/drive_c/windows/system32"
run_data="$folder_windows\\Startwacht.exe"
[[ $run_data == *" "* ]] && run_data="\"$run_data\""

# The user's start page and settings before the first start: logging on, no
# report window, so that an attempt ends with the log written.
wine reg add "$main_key" /v 'Start Page' /d about:test /f </dev/null >/dev/null 2>&1
printf 'about:test\r\n10100\r\n' >"$files/spurl.vxd"

echo "Prüfe: Installation der vorherigen Fassung für den Benutzer, still, mit /AUTOSTART ..."
run_setup "$previous_setup" /S /AUTOSTART || fail "das Installationsprogramm endete mit einem Fehler"
cmp -s "$folder/Startwacht.exe" "$previous_stage/Startwacht.exe" || fail "Startwacht.exe fehlt in $folder_windows"
cmp -s "$folder/LIESMICH.txt" "$previous_stage/LIESMICH.txt" || fail "LIESMICH.txt fehlt in $folder_windows"
[[ -f "$folder/Deinstallieren.exe" ]] || fail "das Deinstallationsprogramm fehlt"
[[ -f "$menu/Startwacht.lnk" ]] || fail "der Startmenü-Eintrag des Benutzers fehlt"
for shared in "Program Files/Startwacht" "Program Files (x86)/Startwacht" \
    "ProgramData/Microsoft/Windows/Start Menu/Programs/Startwacht"; do
    [[ ! -e "$WINEPREFIX/drive_c/$shared" ]] || fail "es wurde für alle Benutzer installiert: C:/$shared"
done
for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Startwacht' \
    'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Startwacht'; do
    ! reg_key_exists "$key" || fail "$key wurde geschrieben"
done
[[ $(reg_value "$uninstall_key" DisplayVersion) == "$previous_version" ]] ||
    fail "der Deinstallationseintrag nennt die Version '$(reg_value "$uninstall_key" DisplayVersion)'"
[[ $(reg_value "$uninstall_key" InstallLocation) == "$folder_windows" ]] ||
    fail "der Deinstallationseintrag nennt den Ordner '$(reg_value "$uninstall_key" InstallLocation)'"
[[ $(reg_value "$run_key" Startwacht) == "$run_data" ]] ||
    fail "der Run-Wert ist '$(reg_value "$run_key" Startwacht)', erwartet '$run_data'"
# Started by the installer (as the user: the installer asks for no rights).
wait_until '(($(running) == 1))' || fail "das Installationsprogramm hat Startwacht nicht gestartet ($(running) laufen)"
previous_pid=$(startwacht_pids)
# The running program guards and writes its log where a program of its
# architecture finds the system directory.
wine reg add "$main_key" /v 'Start Page' /d about:fremd /f </dev/null >/dev/null 2>&1
wait_until '[[ $(reg_value "$main_key" "Start Page") == about:test ]]' ||
    fail "Startwacht hat die Startseite nicht zurückgeschrieben"
wait_until 'grep -qa "about:fremd" "$files/tburl.vxd" 2>/dev/null' || fail "Startwacht hat den Versuch nicht ins Logbuch geschrieben"
[[ ! -e "$other_files/tburl.vxd" ]] || fail "das Logbuch liegt im Systemordner der anderen Architektur"
sleep 1
mkdir -p "$work/files"
cp "$files/spurl.vxd" "$files/tburl.vxd" "$work/files/"

echo "Prüfe: Update über das laufende Programm, still, Autostart aus ..."
# Autostart off: the new version is started only because the old one ran.
wine reg delete "$run_key" /v Startwacht /f </dev/null >/dev/null 2>&1
run_setup "$setup" /S || fail "das Update endete mit einem Fehler"
cmp -s "$folder/Startwacht.exe" "$stage/Startwacht.exe" || fail "Startwacht.exe wurde nicht ersetzt"
wait_until '(($(running) == 1)) && [[ $(startwacht_pids) != "$previous_pid" ]]' ||
    fail "nach dem Update läuft nicht genau ein neues Startwacht (laufend: $(startwacht_pids | tr '\n' ' '), vorher $previous_pid)"
for file in spurl.vxd tburl.vxd; do
    cmp -s "$files/$file" "$work/files/$file" || fail "$file hat sich beim Update geändert"
done
[[ $(reg_value "$uninstall_key" DisplayVersion) == "$version" ]] ||
    fail "der Deinstallationseintrag nennt nach dem Update die Version '$(reg_value "$uninstall_key" DisplayVersion)'"
[[ -z $(reg_value "$run_key" Startwacht) ]] || fail "das Update hat den Autostart eingeschaltet"

echo "Prüfe: Deinstallation, still ..."
run_setup "$folder/Deinstallieren.exe" /S || fail "das Deinstallationsprogramm endete mit einem Fehler"
# The uninstaller works on from a copy of itself.
wait_until '[[ ! -e "$folder" && ! -e "$menu" ]] && (($(running) == 0))' ||
    fail "nach der Deinstallation: Ordner $( [[ -e $folder ]] && echo da || echo weg), Startmenü $( [[ -e $menu ]] && echo da || echo weg), $(running) Startwacht laufen"
reg_key_exists "$uninstall_key" && fail "der Deinstallationseintrag ist noch da"
[[ -z $(reg_value "$run_key" Startwacht) ]] || fail "der Run-Wert ist noch da"
for file in spurl.vxd tburl.vxd; do
    cmp -s "$files/$file" "$work/files/$file" || fail "$file hat die Deinstallation nicht unverändert überstanden"
done

echo "Prüfe: Installation ohne /AUTOSTART, Deinstallation neben dem Autostart einer anderen Kopie ..."
run_setup "$setup" /S || fail "das Installationsprogramm endete mit einem Fehler"
[[ -f "$folder/Startwacht.exe" ]] || fail "Startwacht.exe fehlt nach der Installation ohne Autostart"
[[ -z $(reg_value "$run_key" Startwacht) ]] || fail "ohne /AUTOSTART wurde ein Run-Wert geschrieben"
sleep 2
(($(running) == 0)) || fail "ohne /AUTOSTART und ohne laufendes Programm wurde Startwacht gestartet"
other='C:\anderswo\Startwacht.exe'
wine reg add "$run_key" /v Startwacht /d "$other" /f </dev/null >/dev/null 2>&1
run_setup "$folder/Deinstallieren.exe" /S || fail "das Deinstallationsprogramm endete mit einem Fehler"
wait_until '[[ ! -e "$folder" ]]' || fail "der Programmordner ist noch da"
[[ $(reg_value "$run_key" Startwacht) == "$other" ]] || fail "die Deinstallation hat den Autostart einer anderen Kopie entfernt"

echo "Prüfe: Installation, still, wo der Autostart schon an ist ..."
run_setup "$setup" /S || fail "das Installationsprogramm endete mit einem Fehler"
[[ $(reg_value "$run_key" Startwacht) == "$run_data" ]] ||
    fail "der eingeschaltete Autostart startet nicht das installierte Programm: '$(reg_value "$run_key" Startwacht)'"
wait_until '(($(running) == 1))' || fail "mit Autostart hat das Installationsprogramm Startwacht nicht gestartet"
run_setup "$folder/Deinstallieren.exe" /S || fail "das Deinstallationsprogramm endete mit einem Fehler"
wait_until '[[ ! -e "$folder" ]] && (($(running) == 0))' || fail "die Deinstallation hat Startwacht nicht beendet und entfernt"
[[ -z $(reg_value "$run_key" Startwacht) ]] || fail "der Run-Wert ist nach der Deinstallation noch da"

echo "Prüfung bestanden (Installationsprogramm und Startwacht in 32 Bit): Installation für den Benutzer, Start durch das Installationsprogramm, Autostart, Update über das laufende Programm, Deinstallation."
