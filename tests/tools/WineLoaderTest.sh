#!/bin/bash
# The probe that tells whether this machine runs 32-bit Linux programs, or
# else can run the 32-bit Wine under qemu, and the choices it drives: which
# build runs, which Wine loader the session helpers start, that a crash ends
# at once, and the run command's refusal of a build it can't start.
#   WineLoaderTest.sh <source dir> <build dir> <work dir>
# Runs inside the test command's Wine session (its prefix and wineserver).
set -uo pipefail
src=$1
build=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
source "$src/tools/wine-session.sh"

failed=0
fail() {
    echo "FEHLER: $*"
    failed=1
}

# The answer agrees with another 32-bit program that wine32 brings along.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then real=yes; else real=no; fi
if (unset STARTWACHT_NO_32BIT; wine_runs_32bit); then probe=yes; else probe=no; fi
[[ $probe == "$real" ]] || fail "die Probe sagt $probe, der 32-Bit-Lader sagt $real"
# Either way the shipped build runs here (the test command runs only then).
[[ $(unset STARTWACHT_NO_32BIT; wine_arch) == i686 ]] || fail "wine_arch wählt nicht i686"

# The answer follows the loader's start and the emulator's version, and the
# variable overrides a yes. (Stand-ins show every answer on any machine.)
qemu10="$work/qemu-10"
qemu7="$work/qemu-7"
printf '#!/bin/sh\necho "qemu-i386 version 10.0.2 (Debian 1:10.0.2+ds-2)"\n' >"$qemu10"
printf '#!/bin/sh\necho "qemu-i386 version 7.2.19 (Debian 1:7.2+dfsg-7)"\n' >"$qemu7"
chmod +x "$qemu10" "$qemu7"
(
    unset STARTWACHT_NO_32BIT
    # loader, emulator, expected mode and build
    while read -r loader qemu mode arch; do
        export WINE_SESSION_LOADER32=$loader WINE_SESSION_QEMU=$qemu
        [[ $(wine_32bit_mode) == "$mode" && $(wine_arch) == "$arch" ]] ||
            fail "Lader $loader, Emulator $qemu: $(wine_32bit_mode)/$(wine_arch) statt $mode/$arch"
    done <<CASES
/bin/true $work/none native i686
/bin/true $qemu7 native i686
/bin/false $qemu10 emulated i686
/bin/false $qemu7 none x86_64
/bin/false $work/none none x86_64
CASES
    WINE_SESSION_LOADER32=/bin/true WINE_SESSION_QEMU=$qemu10
    STARTWACHT_NO_32BIT=1
    wine_runs_32bit && fail "STARTWACHT_NO_32BIT=1 lässt die Probe trotzdem ja sagen"
    [[ $(wine_32bit_mode) == emulated ]] || fail "erzwungen ohne 32 Bit ist die Art $(wine_32bit_mode), nicht emulated"
    unset STARTWACHT_NO_32BIT
    # Where 32-bit programs run, nothing is put on PATH.
    before=$PATH
    wine_use_loader "$work/native"
    [[ $PATH == "$before" && ! -e $work/native/loader ]] || fail "der Lader wurde ohne Not ersetzt"
    exit $failed
) || failed=1

# Forced "no": every Wine program through the session's loader folder, also
# Debian's wrappers that call wine-stable. With the emulation (wherever qemu
# is there), 32-bit programs run under it, as do their 32-bit children, and
# 64-bit ones natively; without it only the 64-bit loader.
(
    export STARTWACHT_NO_32BIT=1
    PATH=$(printf '%s' "$PATH" | tr ':' '\n' | grep -vx '.*/loader/bin' | paste -sd:)
    mode=$(wine_32bit_mode)
    wine_use_loader "$work/forced"
    for name in wine wine-stable; do
        [[ $(command -v "$name") == "$work/forced/loader/bin/$name" ]] ||
            fail "$name ist $(command -v "$name"), nicht der Lader der Sitzung"
    done
    # Twice does not put the folder twice on PATH.
    wine_use_loader "$work/forced"
    (($(printf '%s' "$PATH" | tr ':' '\n' | grep -cx "$work/forced/loader/bin") == 1)) ||
        fail "der Ordner steht mehrmals im PATH"
    # winepath is Debian's wrapper around wine-stable.
    [[ $(winepath -w / </dev/null 2>/dev/null | tr -d '\r') == 'Z:\' ]] || fail "winepath läuft nicht"
    # Each cmd names the architecture it runs as ("set" reads the variable
    # in the cmd that runs it; "%...%" would be read by the first one).
    said=$(wine cmd.exe /c 'set PROCESSOR_ARCHITECTURE' </dev/null 2>/dev/null | tr -d '\r')
    [[ $said == PROCESSOR_ARCHITECTURE=AMD64 ]] || fail "das 64-Bit-cmd sagt '$said'"
    if [[ $mode == emulated ]]; then
        # A 32-bit cmd, which starts a 32-bit cmd and a 64-bit one.
        said=$(wine 'C:\windows\syswow64\cmd.exe' /c 'set PROCESSOR_ARCHITECTURE& cmd /c set PROCESSOR_ARCHITECTURE& C:\windows\sysnative\cmd.exe /c set PROCESSOR_ARCHITECTURE' </dev/null 2>/dev/null |
            tr -d '\r' | sed 's/^PROCESSOR_ARCHITECTURE=//' | paste -sd' ')
        [[ $said == 'x86 x86 AMD64' ]] || fail "32-Bit-cmd, sein 32-Bit- und sein 64-Bit-Kind sagen '$said' statt 'x86 x86 AMD64'"
    else
        said=$(wine cmd.exe /c 'echo %WINELOADER%' </dev/null 2>/dev/null | tr -d '\r')
        [[ $said == /usr/lib/wine/wine64 ]] || fail "wine lief nicht über den 64-Bit-Lader: '$said'"
    fi
    exit $failed
) || failed=1

# A crash of the run's build ends the program by itself: no debugger stays
# behind waiting (under the emulation Wine's debugger would hang).
if [[ -e $build/tests/bin/Crash.exe ]]; then
    out=$(timeout 120 wine "$build/tests/bin/Crash.exe" </dev/null 2>/dev/null | tr -d '\r')
    status=$?
    ((status != 124)) || fail "Crash.exe ist nach 120 s nicht beendet"
    [[ $out == crashing ]] || fail "Crash.exe lief nicht bis zum Absturz: '$out'"
    ((status != 0)) || fail "Crash.exe endete nach dem Absturz mit Status 0"
else
    fail "$build/tests/bin/Crash.exe fehlt"
fi

# The architecture of a build folder comes from its configuration.
[[ $(wine_build_arch "$build") == "${build##*/}" ]] || fail "wine_build_arch erkennt $build nicht"
# The run command refuses a 32-bit build where it can't start (no 32-bit
# Linux programs, no emulator), before it builds or starts anything.
fake="$work/i686-build"
mkdir -p "$fake"
echo "CMAKE_TOOLCHAIN_FILE:FILEPATH=$src/cmake/i686-w64-mingw32.cmake" >"$fake/CMakeCache.txt"
[[ $(wine_build_arch "$fake") == i686 ]] || fail "wine_build_arch erkennt die 32-Bit-Fassung nicht"
# (The machine is played by the loader and emulator the session asks; the
# set-up that run.sh calls first asks the system's, so it installs nothing.)
out=$(WINE_SESSION_LOADER32=/bin/false WINE_SESSION_QEMU="$work/none" "$src/tools/run.sh" --session "$work/run" --build-dir "$fake" 2>&1 </dev/null)
status=$?
((status == 1)) && [[ $out == *"enthält die 32-Bit-Fassung; dieser Rechner führt keine 32-Bit-Linux-Programme aus"* ]] ||
    fail "run.sh mit der 32-Bit-Fassung auf einem Rechner ohne 32 Bit: Status $status, Ausgabe: $out"
[[ ! -e $work/run/prefix ]] || fail "run.sh hat trotzdem eine Wine-Sitzung angelegt"

rm -rf "$work"
exit $failed
