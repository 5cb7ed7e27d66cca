#!/bin/bash
# The probe that tells whether this machine runs 32-bit Linux programs, and
# the choices it drives: which build runs, which Wine loader the session
# helpers start, and the run command's refusal of a build it can't start.
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
expected=x86_64
[[ $real == no ]] || expected=i686
[[ $(unset STARTWACHT_NO_32BIT; wine_arch) == "$expected" ]] || fail "wine_arch wählt nicht $expected"

# The answer follows the loader's start, and the variable overrides a yes.
# (A stand-in loader shows both answers on any machine.)
(
    unset STARTWACHT_NO_32BIT
    WINE_SESSION_LOADER32=/bin/true
    wine_runs_32bit && [[ $(wine_arch) == i686 ]] || fail "ein startender 32-Bit-Lader wird nicht erkannt"
    STARTWACHT_NO_32BIT=1
    wine_runs_32bit && fail "STARTWACHT_NO_32BIT=1 lässt die Probe trotzdem ja sagen"
    [[ $(wine_arch) == x86_64 ]] || fail "erzwungen ohne 32 Bit wählt wine_arch $(wine_arch)"
    unset STARTWACHT_NO_32BIT
    WINE_SESSION_LOADER32=/bin/false
    wine_runs_32bit && fail "ein Lader, der nicht startet, gilt als 32-Bit-fähig"
    # Where 32-bit programs run, nothing is put on PATH.
    WINE_SESSION_LOADER32=/bin/true
    before=$PATH
    wine_use_loader "$work/native"
    [[ $PATH == "$before" && ! -e $work/native/loader ]] || fail "der Lader wurde ohne Not ersetzt"
    exit $failed
) || failed=1

# Forced "no": the x86_64 build, and every Wine program through the 64-bit
# loader, also Debian's wrappers that call wine-stable.
(
    export STARTWACHT_NO_32BIT=1
    PATH=$(printf '%s' "$PATH" | tr ':' '\n' | grep -vx '.*/loader' | paste -sd:)
    wine_use_loader "$work/forced"
    for name in wine wine-stable; do
        [[ $(command -v "$name") == "$work/forced/loader/$name" ]] ||
            fail "$name ist $(command -v "$name"), nicht der 64-Bit-Lader der Sitzung"
    done
    # Twice does not put the folder twice on PATH.
    wine_use_loader "$work/forced"
    (($(printf '%s' "$PATH" | tr ':' '\n' | grep -cx "$work/forced/loader") == 1)) ||
        fail "der Ordner steht mehrmals im PATH"
    said=$(wine cmd.exe /c 'echo %WINELOADER%' </dev/null 2>/dev/null | tr -d '\r')
    [[ $said == /usr/lib/wine/wine64 ]] || fail "wine lief nicht über den 64-Bit-Lader: '$said'"
    # winepath is Debian's wrapper around wine-stable.
    [[ $(winepath -w / </dev/null 2>/dev/null | tr -d '\r') == 'Z:\' ]] || fail "winepath läuft nicht"
    exit $failed
) || failed=1

# The architecture of a build folder comes from its configuration.
[[ $(wine_build_arch "$build") == "${build##*/}" ]] || fail "wine_build_arch erkennt $build nicht"
# The run command refuses a 32-bit build where it can't start, before it
# builds or starts anything.
fake="$work/i686-build"
mkdir -p "$fake"
echo "CMAKE_TOOLCHAIN_FILE:FILEPATH=$src/cmake/i686-w64-mingw32.cmake" >"$fake/CMakeCache.txt"
[[ $(wine_build_arch "$fake") == i686 ]] || fail "wine_build_arch erkennt die 32-Bit-Fassung nicht"
out=$(STARTWACHT_NO_32BIT=1 "$src/tools/run.sh" --session "$work/run" --build-dir "$fake" 2>&1 </dev/null)
status=$?
((status == 1)) && [[ $out == *"keine 32-Bit-Linux-Programme"* ]] ||
    fail "run.sh mit der 32-Bit-Fassung auf einem Rechner ohne 32 Bit: Status $status, Ausgabe: $out"
[[ ! -e $work/run/prefix ]] || fail "run.sh hat trotzdem eine Wine-Sitzung angelegt"

rm -rf "$work"
exit $failed
