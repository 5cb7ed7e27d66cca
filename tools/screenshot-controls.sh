#!/bin/bash
# Builds the controls demo and photographs it under Xvfb: a window with the
# spin edit (showing 100 with its arrows), the log list box (a line wider
# than the box and its horizontal scroll bar) and the hyperlink label with a
# shadowed and a rotated caption. Writes
# build/controls-screenshot.png (the whole virtual desktop) and
# build/controls-window.png (the window's part of it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
source "$root/tools/wine-session.sh"
# The build this machine runs: i686, or x86_64 where no 32-bit program runs.
arch=$(wine_arch)
"$root/tools/build.sh" "$arch"

# Always on a display of our own, so the picture does not depend on the
# user's screen.
unset DISPLAY
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/screenshot-session" "$root/build/$arch/tools/WineKeeper.exe" --throwaway

out="$root/build/screenshot-session/demo.log"
setsid wine "$root/build/$arch/tools/ControlsDemo.exe" 60 </dev/null >"$out" 2>&1 &
demo=$!
for ((i = 0; i < 300; i++)); do
    grep -q '^ready' "$out" 2>/dev/null && break
    sleep 0.1
done
grep '^ready' "$out" || { echo "Das Demo-Fenster erschien nicht:" >&2; cat "$out" >&2; exit 1; }
# Let the virtual desktop finish drawing the window.
sleep 2
import -display "$DISPLAY" -window root "$root/build/controls-screenshot.png"
import -display "$DISPLAY" -window root -crop 560x400+0+0 "$root/build/controls-window.png"
kill "$demo" 2>/dev/null || true
wait "$demo" 2>/dev/null || true
echo "Bildschirmfoto: $root/build/controls-screenshot.png und $root/build/controls-window.png"
