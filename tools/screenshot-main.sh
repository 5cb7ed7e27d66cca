#!/bin/bash
# Builds Startwacht, starts it under Xvfb in a fresh Wine prefix with a few
# lines in its log and photographs what a user sees: the icon in the
# notification area (enlarged), its menu after a right click, and the main
# window after a left click on the icon. Writes docs/tray-icon.png,
# docs/tray-menu.png and docs/main-window.png, and the whole desktop of each
# step under build/screenshots/.
#   tools/screenshot-main.sh --dpi 144
# shows the program at another screen resolution (96, 120, 144, ...), with
# the widest maximum 10000 in its field, and writes the pictures into
# build/screenshots/<dpi>-dpi/ instead of docs/. Wine's desktop and taskbar
# start at that resolution too, so the notification area shows its icons at
# the size it asks for, as Windows does.
#   tools/screenshot-main.sh --policy
# shows the window while a policy of the user sets the start page (its
# warning line beside the fields) with two extra start pages, and writes
# docs/policy-warning.png (the other pictures into build/screenshots/policy/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dpi=""
policy=""
if [[ "${1:-}" == "--dpi" ]]; then
    dpi=${2:?"--dpi braucht eine Zahl"}
elif [[ "${1:-}" == "--policy" ]]; then
    policy=yes
fi
"$root/tools/setup-debian.sh"
source "$root/tools/wine-session.sh"
# The shipped build, i686 (under the emulation where Linux runs no 32-bit
# programs); the 64-bit one only where not even that can be had.
arch=$(wine_arch)
[[ $arch == i686 ]] || wine_no_32bit_note "die Bilder zeigen die 64-Bit-Fassung"
"$root/tools/build.sh" --target Startwacht --target OpenMainWindow --target WineKeeper "$arch"

# Always on a display of our own, so the picture does not depend on the
# user's screen.
unset DISPLAY
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
session="$root/build/screenshot-main-session"
keeper="$root/build/$arch/tools/WineKeeper.exe"
rm -rf "$session"
if [[ -n "$dpi" ]]; then
    # The resolution is read when a program starts, Wine's taskbar too: a
    # first session makes the prefix and sets it, the session of the
    # pictures starts its desktop with it, as Windows starts its shell.
    wine_session_start "$session" "$keeper"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine_session_stop
    unset DISPLAY
fi
wine_session_start "$session" "$keeper" --throwaway

# The system directory as the program sees it.
sysdir="$WINEPREFIX/drive_c/windows/system32"
[[ $arch == x86_64 ]] || sysdir="$WINEPREFIX/drive_c/windows/syswow64"
wine reg add 'HKCU\Software\Microsoft\Internet Explorer\Main' /v 'Start Page' /d 'about:blank' /f >/dev/null 2>&1
maximum=100
[[ -z "$dpi" ]] || maximum=10000
if [[ -n "$policy" ]]; then
    # Reporting off: the policy's report would cover the window.
    wine reg add 'HKCU\Software\Policies\Microsoft\Internet Explorer\Main' /v 'Start Page' \
        /d 'http://www.firmenportal.example/' /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Microsoft\Internet Explorer\Main' /v 'Secondary Start Pages' /t REG_MULTI_SZ \
        /d 'http://www.example.org/nachrichten\0http://www.example.com/wetter' /f >/dev/null 2>&1
    printf 'about:blank\r\n10%s\r\n' "$maximum" >"$sysdir/spurl.vxd"
else
    printf 'about:blank\r\n11%s\r\n' "$maximum" >"$sysdir/spurl.vxd"
fi
{
    printf '09.12.2026 10:00:05>>Ein unbekanntes Subjekt... >>Startpage:http://www.eine-sehr-lange-adresse.example/mit/einem/langen/pfad/der/breiter/ist/als/die/liste.html\r\n'
    printf '09.12.2026 09:59:58>>Ein Offline-B\xf6sewicht >>Startpage:about:test\r\n'
} >"$sysdir/tburl.vxd"

shots="$root/build/screenshots"
docs="$root/docs"
[[ -z "$dpi" ]] || docs="$shots/$dpi-dpi"
[[ -z "$policy" ]] || docs="$shots/policy"
mkdir -p "$shots" "$docs"
out="$root/build/screenshot-main-session/startwacht.log"
setsid wine "$root/build/$arch/app/Startwacht.exe" </dev/null >"$out" 2>&1 &
program=$!
trap 'kill "$program" 2>/dev/null || true; wine_session_stop' EXIT

# Sizes on Wine's desktop grow with the resolution: the taskbar is 20
# pixel rows high at 96 dpi.
scale=${dpi:-96}
grown() { echo $(($1 * scale / 96)); }
bar=$(grown 20)
bar_top=$((768 - bar))

# The icon: the blue square in the taskbar.
icon=""
for ((i = 0; i < 100; i++)); do
    import -display "$DISPLAY" -window root "$shots/parked.png"
    box=$(convert "$shots/parked.png" -crop "1024x$bar+0+$bar_top" +repage -fill black +opaque "rgb(0,0,255)" \
        -format "%@" info: 2>/dev/null || true)
    if [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] >= 10)); then
        icon_x=$((BASH_REMATCH[3] + BASH_REMATCH[1] / 2))
        icon_y=$((bar_top + BASH_REMATCH[4] + BASH_REMATCH[2] / 2))
        icon=yes
        break
    fi
    sleep 0.3
done
if [[ -z "$icon" ]]; then
    echo "Das Symbol erschien nicht im Infobereich." >&2
    exit 1
fi
# The right end of the taskbar with the icon, four times enlarged, each
# pixel a square of four by four.
corner=$(grown 96)
convert "$shots/parked.png" -crop "${corner}x$bar+$((1024 - corner))+$bar_top" +repage -filter point -resize 400% \
    "$docs/tray-icon.png"

# A right click opens the menu at the pointer, above the taskbar.
xdotool mousemove "$icon_x" "$icon_y" sleep 0.3 click 3
sleep 1
# The pointer goes up onto the first item, as a user's would, which also
# takes the icon's tip away. The items grow with the resolution.
xdotool mousemove "$((icon_x - $(grown 40)))" "$((icon_y - $(grown 12) - $(grown 34)))"
sleep 1
import -display "$DISPLAY" -window root "$shots/menu.png"
menu_w=$(grown 240)
menu_h=$(grown 120)
convert "$shots/menu.png" -crop "${menu_w}x$menu_h+$((1024 - menu_w))+$((768 - menu_h))" +repage "$docs/tray-menu.png"
xdotool key Escape
sleep 0.5

# A left click opens the window.
xdotool mousemove "$icon_x" "$icon_y" sleep 0.3 click 1
place=$(wine "$root/build/$arch/tools/OpenMainWindow.exe" </dev/null 2>/dev/null | tr -d '\r' | grep '^window' || true)
if [[ -z "$place" ]]; then
    echo "Das Hauptfenster erschien nicht." >&2
    exit 1
fi
read -r _ left top width height <<<"$place"
# The pointer leaves the icon, whose tip would cover a corner of a large
# window; then the virtual desktop finishes drawing the window.
xdotool mousemove 2 2
sleep 2
import -display "$DISPLAY" -window root "$shots/opened.png"
window="$docs/main-window.png"
[[ -z "$policy" ]] || window="$root/docs/policy-warning.png"
convert "$shots/opened.png" -crop "${width}x${height}+${left}+${top}" +repage "$window"
echo "Hauptfenster bei $left,$top, $width x $height Pixel; Symbol bei $icon_x,$icon_y"
echo "Bilder: $docs/tray-icon.png, $docs/tray-menu.png, $window"
