#!/bin/bash
# Builds both targets and runs every test under Wine (and the Windows-free
# logic's tests natively under the sanitizers), headless under an Xvfb of its
# own, in a throwaway Wine prefix of its own. The i686 build is what ships:
# its tests run on every machine, where Linux runs no 32-bit programs with
# the 32-bit Wine under qemu's emulation (tools/setup-debian.sh installs it).
# Where that can't be had either, the run says so and fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
source "$root/tools/wine-session.sh"
mode=$(wine_32bit_mode)
case $mode in
    emulated) wine_emulation_note ;;
    none) wine_no_32bit_note "die Tests der ausgelieferten Fassung können nicht laufen" >&2; exit 1 ;;
esac
"$root/tools/build.sh" i686 x86_64 native

# One CTest run over all three builds, so one summary line ends the output.
printf 'subdirs("%s")\n' i686 x86_64 native >"$root/build/CTestTestfile.cmake"

# Always on a display of our own: the GUI tests move the pointer and click
# at places of Wine's desktop, which must be the whole screen.
unset DISPLAY
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/test-session" "$root/build/i686/tools/WineKeeper.exe" --throwaway

cd "$root/build"
# One test per core at a time (each test is a process of its own; the i686
# ones spend most of their time in the emulator's start). Tests that share
# the desktop or registry values hold a RESOURCE_LOCK. A -j argument wins.
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
status=0
ctest --output-on-failure --timeout 300 "$@" || status=$?
[[ $mode != emulated ]] || wine_emulation_note
exit $status
