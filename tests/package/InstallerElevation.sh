#!/bin/bash
# The installer's check whether it was started with more rights than the
# user's desktop, driven through its seam: an installer built with
# -DELEVATION_FROM_COMMAND_LINE takes the two elevation types it would read
# (its own token's, the shell's; 0 where one can't be read) from
# /ELEVATION=<own>,<shell>. Each case runs a silent installation into a
# folder of its own and looks whether it refused (exit code 4, nothing
# installed) or installed. Runs inside the test command's Wine session:
#   InstallerElevation.sh <i686|x86_64> <Startwacht.exe> <work folder>
# Exits with 77 (skipped) where makensis is missing (tools/setup-debian.sh
# nsis installs it).
set -euo pipefail
arch=$1 exe=$2 work=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
command -v makensis >/dev/null || { echo "makensis fehlt: übersprungen (tools/setup-debian.sh nsis)"; exit 77; }

rm -rf "$work"
mkdir -p "$work/stage"
cp "$exe" "$work/stage/Startwacht.exe"
printf 'Test\r\n' >"$work/stage/LIESMICH.txt"
target=()
[[ $arch == x86_64 ]] && target=(-X"Target amd64-unicode")
setup="$work/Startwacht-Setup.exe"
makensis -V2 -WX -INPUTCHARSET UTF8 "${target[@]}" -DELEVATION_FROM_COMMAND_LINE -DVERSION=0.0 \
    -DFILEVERSION=0.0.0.0 -DSTAGE="$work/stage" -DICON="$root/resources/art/Startwacht.ico" -DOUTFILE="$setup" \
    "$root/tools/package/Startwacht.nsi"

folder_windows='C:\StartwachtElevationTest'
folder="$WINEPREFIX/drive_c/StartwachtElevationTest"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Startwacht'
cleanup() {
    if [[ -f "$folder/Deinstallieren.exe" ]]; then
        wine "$folder/Deinstallieren.exe" /S </dev/null >/dev/null 2>&1 || true
        for _ in $(seq 300); do [[ -e $folder ]] || break; sleep 0.1; done
    fi
    rm -rf "$folder"
    wine reg delete "$uninstall_key" /f </dev/null >/dev/null 2>&1 || true
}
trap cleanup EXIT

# own,shell elevation type (1 default, 2 full, 3 limited; 0 unknown or
# unreadable) and what the installer must do.
cases=(
    "0,0 installs"  # no elevation on this system (XP)
    "1,0 installs"  # not elevated: UAC off, or a standard user
    "3,0 installs"  # the limited half of an administrator's token
    "2,2 installs"  # elevated beside an elevated shell
    "2,0 refuses"   # elevated, and the shell's token can't be read
    "2,1 refuses"   # elevated beside a standard user's shell
    "2,3 refuses"   # elevated beside an administrator's limited shell
)
failed=0
for entry in "${cases[@]}"; do
    read -r types expected <<<"$entry"
    rm -rf "$folder"
    status=0
    wine "$setup" /S "/ELEVATION=$types" "/D=$folder_windows" </dev/null >>"$work/wine.log" 2>&1 || status=$?
    if [[ -f "$folder/Startwacht.exe" ]]; then
        got=installs
    else
        got=refuses
    fi
    if [[ $got == installs && $status != 0 ]] || [[ $got == refuses && $status != 4 ]]; then
        got="$got (exit code $status)"
    fi
    if [[ $got == "$expected" ]]; then
        echo "ok: /ELEVATION=$types $got"
    else
        echo "FAILED: /ELEVATION=$types: expected the installer $expected, it $got" >&2
        failed=1
    fi
done
exit $failed
