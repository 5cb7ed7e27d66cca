#!/bin/bash
# Builds Startwacht, starts it under Xvfb in a fresh Wine prefix with a few
# lines in its log, opens its main window as the taskbar button does and
# photographs it. Writes build/main-screenshot.png (the whole virtual
# desktop) and build/main-window.png (the window).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
"$root/tools/build.sh" i686

# Always on a display of our own, so the picture does not depend on the
# user's screen.
unset DISPLAY
source "$root/tools/wine-session.sh"
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/screenshot-main-session" "$root/build/i686/tools/WineKeeper.exe" --throwaway

sysdir="$WINEPREFIX/drive_c/windows/syswow64"
wine reg add 'HKCU\Software\Microsoft\Internet Explorer\Main' /v 'Start Page' /d 'about:blank' /f >/dev/null 2>&1
printf 'about:blank\r\n11100\r\n' >"$sysdir/spurl.vxd"
{
    printf '09.12.2026 10:00:05>>Ein unbekanntes Subjekt... >>Startpage:http://www.eine-sehr-lange-adresse.example/mit/einem/langen/pfad/der/breiter/ist/als/die/liste.html\r\n'
    printf '09.12.2026 09:59:58>>Ein Offline-B\xf6sewicht >>Startpage:about:test\r\n'
} >"$sysdir/tburl.vxd"

out="$root/build/screenshot-main-session/startwacht.log"
setsid wine "$root/build/i686/app/Startwacht.exe" </dev/null >"$out" 2>&1 &
program=$!
place=$(wine "$root/build/i686/tools/OpenMainWindow.exe" </dev/null 2>/dev/null | tr -d '\r' | grep '^window' || true)
if [[ -z "$place" ]]; then
    echo "Das Hauptfenster erschien nicht." >&2
    kill "$program" 2>/dev/null || true
    exit 1
fi
read -r _ left top width height <<<"$place"
# Let the virtual desktop finish drawing the window.
sleep 2
import -display "$DISPLAY" -window root "$root/build/main-screenshot.png"
import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage "$root/build/main-window.png"
echo "Hauptfenster bei $left,$top, $width x $height Pixel"
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
echo "Bildschirmfoto: $root/build/main-screenshot.png und $root/build/main-window.png"
