#!/bin/bash
# Runs "tools/run.sh --demo" as a newcomer would on a machine without a
# display, in a session folder of its own: it must print at least two
# restorations with the rejected address and keep a picture of the virtual
# display; ended once with Ctrl-C (SIGINT to its process group, as a
# terminal sends it) and once with SIGTERM (to the script alone), it must
# leave no process of its session behind and the guarded value as the
# program protects it.
#   RunScriptTest.sh <source dir> <build dir> <work dir>
# The test command runs this inside a Wine session of its own: the run here
# gets its own prefix, wineserver and Xvfb, and the outer ones stay alone.
set -uo pipefail
src=$1
build=$2
work=$3
session="$work/session"
prefix="$session/prefix"
# Every process of the run inherits this; the run must leave none of them.
mark="STARTWACHT_RUN_TEST=$session"
source "$src/tools/wine-session.sh"
# The program's system directory in the prefix: syswow64 for the 32-bit
# build, system32 for the 64-bit one.
sysdir="$prefix/drive_c/windows/system32"
[[ $(wine_build_arch "$build") == x86_64 ]] || sysdir="$prefix/drive_c/windows/syswow64"
# The run goes into a process group of its own and takes SIGINT like a
# foreground program in a terminal: a non-interactive shell would start it
# with SIGINT ignored, and so would a test command that was itself started
# in the background; an ignored signal can't be trapped, so perl puts the
# default back before the script starts.
set -m

session_pids() {
    grep -lsxF -e "$mark" -e "WINEPREFIX=$prefix" --null-data /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3
}

# Leftovers of an aborted earlier run of this test go first, by PID.
for pid in $(session_pids); do kill -9 "$pid" 2>/dev/null; done
rm -rf "$work"
mkdir -p "$session/tmp"

run=""
failed=0
fail() {
    echo "FEHLER: $*"
    failed=1
}
finish() {
    if [[ -n $run ]] && kill -0 "$run" 2>/dev/null; then
        kill -TERM "$run" 2>/dev/null
        for ((i = 0; i < 300; i++)); do kill -0 "$run" 2>/dev/null || break; sleep 0.1; done
    fi
    for pid in $(session_pids); do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$prefix"
    exit $failed
}
trap finish EXIT

# Starts the demo and waits for two restorations and a picture of the
# display taken after the second one.
start_demo() {
    local out=$1 seen_at=0
    env -u DISPLAY -u WINEPREFIX "$mark" TMPDIR="$session/tmp" \
        perl -e '$SIG{INT} = $SIG{TERM} = "DEFAULT"; exec @ARGV or die' -- \
        "$src/tools/run.sh" --demo --session "$session" --build-dir "$build" >"$out" 2>&1 </dev/null &
    run=$!
    local deadline=$((SECONDS + 400))
    while ((SECONDS < deadline)); do
        local seen
        seen=$(grep -c 'abgewehrt: http://www.startseiten-räuber.example/versuch-' "$out" 2>/dev/null)
        if ((${seen:-0} >= 2 && seen_at == 0)); then seen_at=$(date +%s); fi
        if ((seen_at)) && [[ -s "$session/screen.png" ]] &&
            (($(stat -c %Y "$session/screen.png") >= seen_at)); then
            return 0
        fi
        kill -0 "$run" 2>/dev/null || break
        # The demo is over and did not show what it should.
        grep -q 'beendet. Startwacht wacht weiter' "$out" 2>/dev/null && break
        sleep 1
    done
    cat "$out"
    fail "keine zwei abgewehrten Versuche mit einem Bild des Bildschirms danach ($out)"
    exit 1
}

# The run must end by itself after the signal and leave nothing behind.
check_ended() {
    local out=$1 display
    display=$(tr -d '\n' <"$session/display" 2>/dev/null)
    local deadline=$((SECONDS + 90))
    while ((SECONDS < deadline)) && kill -0 "$run" 2>/dev/null; do sleep 0.2; done
    if kill -0 "$run" 2>/dev/null; then
        fail "run.sh läuft nach dem Signal weiter"
        return
    fi
    wait "$run" 2>/dev/null
    run=""
    local left
    left=$(session_pids | tr '\n' ' ')
    [[ -z $left ]] || fail "Prozesse der Sitzung übrig: $left($(for p in $left; do tr '\0' ' ' </proc/$p/cmdline; echo; done))"
    [[ -n $display ]] || fail "keine Nummer des virtuellen Bildschirms in $session/display"
    [[ -z $display || ! -e /tmp/.X11-unix/X$display ]] || fail "der virtuelle Bildschirm :$display läuft noch"
}

# The value in the prefix after the run: the protected address, not a
# foreign page of the demo.
check_value() {
    local guarded stored
    guarded=$(head -n1 "$sysdir/spurl.vxd" | tr -d '\r')
    stored=$(grep -A30 -F '[Software\\Microsoft\\Internet Explorer\\Main]' "$prefix/user.reg" |
        grep -m1 '^"Start Page"=' | sed 's/^"Start Page"="\(.*\)"$/\1/')
    [[ -n $guarded && $stored == "$guarded" ]] ||
        fail "nach dem Ende steht \"$stored\" im Register, geschützt ist \"$guarded\""
}

out1="$work/run-sigint.out"
start_demo "$out1"
# What a newcomer needs to be told without a display.
grep -q 'virtuellen Bildschirm' "$out1" || fail "kein Hinweis auf den virtuellen Bildschirm"
# The files it names are the program's.
grep -qxF "Einstellungen: $sysdir/spurl.vxd" "$out1" || fail "der Pfad der Einstellungen ist nicht der des Programms"
grep -qxF "Logbuch:       $sysdir/tburl.vxd" "$out1" || fail "der Pfad des Logbuchs ist nicht der des Programms"
(($(grep -c -F "$session/screen.png" "$out1") == 1)) || fail "der Pfad des Bildes steht nicht genau einmal da"
# Like a usual Windows machine: the fallback command finds no browser.
for pid in $(session_pids); do
    if tr '\0' ' ' </proc/$pid/cmdline 2>/dev/null | grep -qi 'iexplore'; then
        fail "Wines Internet Explorer wurde gestartet"
        break
    fi
done
kill -INT -- "-$run"
check_ended "$out1"
check_value

out2="$work/run-sigterm.out"
start_demo "$out2"
kill -TERM "$run"
check_ended "$out2"
check_value

echo "--- Ausgabe des ersten Laufs ---"
cat "$out1"
