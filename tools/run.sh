#!/bin/bash
# Builds Startwacht and runs it under Wine: the 32-bit program that ships
# (where Linux runs no 32-bit programs, in the 32-bit Wine under qemu's
# emulation), on the user's display when there is one, otherwise headless
# under Xvfb. It starts in the notification area
# of Wine's desktop: a click on the "IE" icon opens its window. The Wine
# prefix lives in build/run-session and is kept between runs, so settings and
# log survive.
# A watcher in the same session prints each foreign start page and each
# restoration the moment it happens, and each message window the program
# opens. Ctrl-C ends it all.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    cat <<'USAGE'
Aufruf: tools/run.sh [--demo] [--session ORDNER] [--build-dir ORDNER]

Baut Startwacht und startet es unter Wine, ohne Bildschirm unter Xvfb.
Jeder abgewehrte Versuch erscheint sofort im Terminal. Strg+C beendet alles.

  --demo              spielt einen Entführer: trägt einige Male im Abstand
                      von ein paar Sekunden eine fremde Startseite ein, die
                      Startwacht zurücksetzt, und schließt die Meldungen
                      dieser Versuche nach kurzer Zeit selbst
  --session ORDNER    Ordner der Wine-Sitzung (Standard: build/run-session);
                      das Wine-Präfix darin bleibt zwischen den Läufen
  --build-dir ORDNER  schon eingerichteter Build-Ordner, aus dem die Programme
                      kommen (Standard: build/i686, die ausgelieferte
                      32-Bit-Fassung; build/x86_64 für die 64-Bit-Fassung)
  -h, --help          diese Hilfe
USAGE
}

demo=0
session="$root/build/run-session"
build_dir=""
while (($#)); do
    case $1 in
        --demo) demo=1 ;;
        --session) [[ $# -ge 2 ]] || { usage >&2; exit 2; }; session=$(realpath -m "$2"); shift ;;
        --build-dir) [[ $# -ge 2 ]] || { usage >&2; exit 2; }; build_dir=$(realpath -m "$2"); shift ;;
        -h | --help) usage; exit 0 ;;
        *) echo "Unbekannte Angabe: $1" >&2; usage >&2; exit 2 ;;
    esac
    shift
done

"$root/tools/setup-debian.sh"
source "$root/tools/wine-session.sh"
# Only what running needs; tests and benchmarks are built by tools/test.sh.
programs=(--target Startwacht --target WineKeeper --target RunWatcher)
mode=$(wine_32bit_mode)
if [[ -n $build_dir ]]; then
    if ! arch=$(wine_build_arch "$build_dir"); then
        echo "$build_dir ist kein eingerichteter Build-Ordner von Startwacht." >&2
        exit 1
    fi
    if [[ $arch == i686 && $mode == none ]]; then
        echo "$build_dir enthält die 32-Bit-Fassung; dieser Rechner führt keine 32-Bit-Linux-Programme aus und hat keinen qemu-i386 ab Version 10, der sie emulieren könnte." >&2
        exit 1
    fi
    cmake --build "$build_dir" "${programs[@]}" >/dev/null
else
    arch=i686
    if [[ $mode == none ]]; then
        wine_no_32bit_note >&2
        echo "Die 64-Bit-Fassung startet: tools/run.sh --build-dir build/x86_64" >&2
        exit 1
    fi
    build_dir="$root/build/$arch"
    "$root/tools/build.sh" "${programs[@]}" "$arch"
fi
if [[ $arch == i686 && $mode == emulated ]]; then
    echo "Dieser Rechner führt keine 32-Bit-Linux-Programme aus: die 32-Bit-Fassung läuft im 32-Bit-Wine unter qemu-i386 (Emulation); jeder Start eines 32-Bit-Programms dauert etwas länger."
fi

headless=0
[[ -n "${DISPLAY:-}" ]] || headless=1

app=""
watcher=""
shot_job=""
win=""
wout=""

# Ends the watcher first (it lets a demo attempt still open be undone by the
# guard), then the session. Not to be interrupted halfway.
stop() {
    trap '' INT TERM
    if [[ -n $watcher ]]; then
        echo "Beende ..."
        { echo stop >&"$win"; } 2>/dev/null || true
        exec {win}>&-
        local i line
        for ((i = 0; i < 100; i++)); do
            kill -0 "$watcher" 2>/dev/null || break
            sleep 0.1
        done
        # Its last lines, if any.
        for ((i = 0; i < 50; i++)); do
            IFS= read -r -t 0.2 line <&"$wout" || break
            echo "$line"
        done
    fi
    if [[ -n $shot_job ]]; then wait "$shot_job" 2>/dev/null || true; fi
    wine_session_stop
    rm -f "$session/watch.in" "$session/watch.out"
}
trap stop EXIT
trap 'exit 0' INT TERM
wine_session_start "$session" "$build_dir/tools/WineKeeper.exe"
# Like most Windows machines: no IEXPLORE program for the guard's fallback
# command to find (also after Wine has renewed the prefix).
wine_session_hide_browser

# A 32-bit program's system directory is syswow64, a 64-bit one's system32.
sysdir="$WINEPREFIX/drive_c/windows/system32"
[[ $arch == x86_64 ]] || sysdir="$WINEPREFIX/drive_c/windows/syswow64"
settings="$sysdir/spurl.vxd"
log="$sysdir/tburl.vxd"
if [[ $arch == x86_64 && ! -e $settings && ! -e $log ]]; then
    # A prefix that ran the 32-bit build before: its settings and log go on.
    old="$WINEPREFIX/drive_c/windows/syswow64"
    if [[ -e $old/spurl.vxd || -e $old/tburl.vxd ]]; then
        for f in spurl.vxd tburl.vxd; do
            [[ ! -e $old/$f ]] || cp -p "$old/$f" "$sysdir/$f"
        done
        echo "Einstellungen und Logbuch der 32-Bit-Fassung übernommen aus $old"
    fi
fi
if ((demo)) && [[ -s $log ]]; then
    # The demo's attempts are logged like any other and may push the oldest
    # lines out of a full log.
    cp -f "$log" "$session/tburl-vor-vorfuehrung.vxd"
    echo "Das Logbuch vor der Vorführung ist gesichert: $session/tburl-vor-vorfuehrung.vxd"
fi

shot="$session/screen.png"
rm -f "$shot"
setsid wine "$build_dir/app/Startwacht.exe" </dev/null >"$session/startwacht.log" 2>&1 &
app=$!
for ((i = 0; i < 200; i++)); do
    [[ -f $settings ]] && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done

rm -f "$session/watch.in" "$session/watch.out"
mkfifo "$session/watch.in" "$session/watch.out"
exec {win}<>"$session/watch.in" {wout}<>"$session/watch.out"
watch_args=(--stop-on-input)
((demo)) && watch_args+=(--demo 5 --every 4)
setsid wine "$build_dir/tools/RunWatcher.exe" "${watch_args[@]}" \
    <"$session/watch.in" >"$session/watch.out" 2>>"$session/startwacht.log" {win}>&- {wout}<&- &
watcher=$!

echo "Startwacht läuft; das Symbol \"IE\" im Infobereich von Wines Bildschirm öffnet das Fenster."
echo "Wine-Präfix: $WINEPREFIX"
echo "Einstellungen: $settings"
echo "Logbuch:       $log"
if ((headless)); then
    echo "Kein Bildschirm da: Fenster, Symbol und jede Meldung von Startwacht sind auf dem"
    echo "virtuellen Bildschirm $DISPLAY (Xvfb). Ein Bild davon, nach jedem Versuch erneuert:"
    echo "  $shot"
    if command -v x11vnc >/dev/null; then
        echo "Ansehen und bedienen von einem anderen Rechner: hier in einem zweiten Terminal"
        echo "  x11vnc -display $DISPLAY -localhost -forever -shared"
        echo "dort: ssh -L 5900:localhost:5900 $(hostname), dann ein VNC-Programm auf localhost:5900."
    else
        echo "(Mit dem Paket x11vnc ließe er sich von einem anderen Rechner aus ansehen und bedienen.)"
    fi
fi
if ((demo)); then
    echo "Vorführung: fünfmal im Abstand von einigen Sekunden eine fremde Startseite."
else
    echo "Zum Ausprobieren in einem zweiten Terminal:"
    echo "  WINEPREFIX=$WINEPREFIX $(command -v wine) reg add 'HKCU\\Software\\Microsoft\\Internet Explorer\\Main' /v 'Start Page' /d about:fremd /f"
    echo "oder gleich mit Vorführung: tools/run.sh --demo"
fi
echo "Beenden mit Strg+C oder mit \"Beenden\" im Fenster."

# A picture of the virtual display a moment after the event (a report
# window needs that moment to appear); one at a time, the latest wins.
shot_again=0
shoot() {
    ((headless)) || return 0
    if [[ -n $shot_job ]] && kill -0 "$shot_job" 2>/dev/null; then
        shot_again=1
        return 0
    fi
    (
        sleep 1
        import -display "$DISPLAY" -window root "$session/screen.new.png" 2>/dev/null &&
            mv -f "$session/screen.new.png" "$shot"
    ) {win}>&- {wout}<&- &
    shot_job=$!
    shot_again=0
}
shoot

while :; do
    if IFS= read -r -t 1 line <&"$wout"; then
        printf "%s\n" "$line"
        case $line in
            *abgewehrt:* | *Meldung*) shoot ;;
        esac
    fi
    if ((shot_again)) && ! kill -0 "$shot_job" 2>/dev/null; then shoot; fi
    if ! kill -0 "$app" 2>/dev/null; then
        echo "Startwacht wurde beendet."
        break
    fi
    if ! kill -0 "$watcher" 2>/dev/null; then
        echo "Der Beobachter ist unerwartet beendet (siehe $session/startwacht.log)." >&2
        break
    fi
done
