#!/bin/bash
# Builds both targets and runs every benchmark under bench/ in a throwaway
# Wine session, headless under Xvfb when there is no display. Benchmarks print
# figures; they pass or fail nothing. Arguments go to each benchmark.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
"$root/tools/build.sh" i686 x86_64

source "$root/tools/wine-session.sh"
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/bench-session" "$root/build/i686/tools/WineKeeper.exe" --throwaway

# The programs print code page 1252; the terminal is UTF-8.
status=0
for arch in i686 x86_64; do
    for exe in "$root/build/$arch/bench/"*.exe; do
        [[ -e "$exe" ]] || continue
        echo "== $arch: $(basename "$exe")"
        wine "$exe" "$@" </dev/null 2>/dev/null | tr -d '\r' | iconv -f CP1252 -t UTF-8 || status=1
    done
done
exit $status
