#!/bin/bash
# Builds both targets and runs every test under Wine (and the Windows-free
# logic's tests natively under the sanitizers), headless under an Xvfb of its
# own, in a throwaway Wine prefix of its own. On a machine that runs no
# 32-bit Linux programs the i686 build is built (it is what ships) but its
# tests are not run: only the 64-bit Wine works there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
source "$root/tools/wine-session.sh"
arch=$(wine_arch)
note=""
if [[ $arch != i686 ]]; then
    note=$(wine_no_32bit_note)
    echo "$note"
fi
"$root/tools/build.sh" i686 x86_64 native

# One CTest run over all builds that this machine runs, so one summary line
# ends the output. The i686 tests are not registered where they can't run,
# except the check of the program's imports, which runs no Windows program.
{
    if [[ $arch == i686 ]]; then echo 'subdirs("i686")'; else echo 'subdirs("i686/tests/imports")'; fi
    echo 'subdirs("x86_64")'
    echo 'subdirs("native")'
} >"$root/build/CTestTestfile.cmake"

# Always on a display of our own: the GUI tests move the pointer and click
# at places of Wine's desktop, which must be the whole screen.
unset DISPLAY
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/test-session" "$root/build/$arch/tools/WineKeeper.exe" --throwaway

cd "$root/build"
status=0
ctest --output-on-failure --timeout 300 "$@" || status=$?
[[ -z $note ]] || echo "$note"
exit $status
