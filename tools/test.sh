#!/bin/bash
# Builds both targets and runs every test under Wine (and the Windows-free
# logic's tests natively under the sanitizers), headless under an Xvfb of its
# own, in a throwaway Wine prefix of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
"$root/tools/build.sh" i686 x86_64 native

# One CTest run over all builds, so one summary line ends the output.
cat >"$root/build/CTestTestfile.cmake" <<'CT'
subdirs("i686")
subdirs("x86_64")
subdirs("native")
CT

# Always on a display of our own: the GUI tests move the pointer and click
# at places of Wine's desktop, which must be the whole screen.
unset DISPLAY
source "$root/tools/wine-session.sh"
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/test-session" "$root/build/i686/tools/WineKeeper.exe" --throwaway

cd "$root/build"
ctest --output-on-failure --timeout 300 "$@"
