#!/bin/bash
# Builds Startwacht and runs it under Wine: on the user's display when there
# is one, otherwise headless under Xvfb. It starts in the notification area
# of Wine's desktop: a click on the "IE" icon opens its window. The Wine
# prefix lives in build/run-session and is kept between runs, so settings and
# log survive.
# Each restored attempt is printed as the log file gains it. Ctrl-C ends it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
"$root/tools/build.sh" i686

source "$root/tools/wine-session.sh"
trap 'wine_session_stop' EXIT
trap 'exit 0' INT TERM
wine_session_start "$root/build/run-session" "$root/build/i686/tools/WineKeeper.exe"

exe="$root/build/i686/app/Startwacht.exe"
log="$WINEPREFIX/drive_c/windows/syswow64/tburl.vxd"
settings="$WINEPREFIX/drive_c/windows/syswow64/spurl.vxd"
setsid wine "$exe" </dev/null >/dev/null 2>&1 &

echo "Startwacht läuft. Einstellungen: $settings"
echo "Zum Ausprobieren in einem zweiten Terminal (gleiche Umgebung):"
echo "  WINEPREFIX=$WINEPREFIX wine reg add 'HKCU\\Software\\Microsoft\\Internet Explorer\\Main' /v 'Start Page' /d about:fremd /f"
echo "Mit \"Zugriff melden\" erscheint jede Meldung als Fenster; die Zeile kommt nach dem Schließen ins Logbuch."
echo "Beenden mit Strg+C (ohne Speichern) oder mit \"Beenden\" im Fenster."

# The log is rewritten whole, newest line first: print its newest line
# whenever a new one arrives. The program's texts are code page 1252; the
# terminal's are UTF-8.
newest() { [[ -f "$log" ]] && head -n1 "$log" | tr -d '\r' | iconv -f CP1252 -t UTF-8 || true; }
last=$(newest)
while sleep 0.5; do
    line=$(newest)
    if [[ -n "$line" && "$line" != "$last" ]]; then
        echo "Abgewehrt: $line"
        last=$line
    fi
done
